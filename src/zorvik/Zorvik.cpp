#include "zorvik/Zorvik.hpp"

#include <stdexcept>
#include <utility>

#include "zorvik/OpenSSLContext.hpp"

namespace zorvik {
namespace {

constexpr const char* kDefaultInstanceName = "default";

}  // namespace

std::map<std::string, std::unique_ptr<ZorvikInstance>> Zorvik::instances_;
std::mutex Zorvik::instancesMutex_;

std::shared_ptr<SSLContext> Zorvik::SSL::createOpenSSLContext() {
    return OpenSSLContext::createDefault();
}

bool Zorvik::SSL::sslEnabled() {
    return true;
}

std::shared_ptr<SSLContext> Zorvik::SSL::createBotanContext() {
    throw std::runtime_error(
        "Botan support not compiled. Install Botan development libraries and define ZORVIK_WITH_BOTAN.");
}

std::shared_ptr<SSLContext> Zorvik::SSL::createMbedTLSContext() {
    throw std::runtime_error(
        "mbedTLS support not compiled. Install mbedTLS development libraries and define ZORVIK_WITH_MBEDTLS.");
}

Zorvik::ThreadPoolConfig Zorvik::ThreadPoolConfig::create() {
    return ThreadPoolConfig();
}

Zorvik::ThreadPoolConfig& Zorvik::ThreadPoolConfig::maxThreads(std::uint64_t count) {
    maxThreads_ = count;
    return *this;
}

Zorvik::ThreadPoolConfig& Zorvik::ThreadPoolConfig::useZorvikThreadPool() {
    customFactory_.reset();
    useCustom_ = false;
    return *this;
}

Zorvik::ThreadPoolConfig& Zorvik::ThreadPoolConfig::useCustomFactory(std::shared_ptr<ThreadFactory> factory) {
    customFactory_ = std::move(factory);
    useCustom_ = true;
    return *this;
}

std::shared_ptr<ThreadFactory> Zorvik::ThreadPoolConfig::getThreadFactory() const {
    if (useCustom_ && customFactory_) {
        return customFactory_;
    }
    return std::make_shared<ZorvikThreadFactory>(maxThreads_);
}

ZorvikConfig& Zorvik::config(const std::string& name) {
    const std::lock_guard lock(instancesMutex_);
    if (instances_.count(name) != 0) {
        throw std::runtime_error("Configuration '" + name + "' already exists. Cannot reconfigure existing instance.");
    }
    auto instance = std::make_unique<ZorvikInstance>(std::make_shared<ZorvikConfig>());
    ZorvikConfig& configuration = instance->getConfig();
    instances_.emplace(name, std::move(instance));
    return configuration;
}

ZorvikInstance& Zorvik::use(const std::string& name) {
    const std::lock_guard lock(instancesMutex_);
    if (const auto found = instances_.find(name); found != instances_.end()) {
        return *found->second;
    }
    if (name == kDefaultInstanceName) {
        return ensureDefaultInstance();
    }
    throw std::runtime_error("Configuration '" + name + "' not found. Use config(\"" + name +
                             "\") first to configure it.");
}

ZorvikInstance& Zorvik::getDefaultInstance() {
    const std::lock_guard lock(instancesMutex_);
    return ensureDefaultInstance();
}

ZorvikInstance& Zorvik::ensureDefaultInstance() {
    if (const auto found = instances_.find(kDefaultInstanceName); found != instances_.end()) {
        return *found->second;
    }
    auto instance = std::make_unique<ZorvikInstance>(std::make_shared<ZorvikConfig>());
    return *instances_.emplace(kDefaultInstanceName, std::move(instance)).first->second;
}

Zorvik::HttpRequestBuilder Zorvik::get(const std::string& url) {
    return getDefaultInstance().get(url);
}

Zorvik::HttpRequestBuilder Zorvik::post(const std::string& url) {
    return getDefaultInstance().post(url);
}

Zorvik::HttpRequestBuilder Zorvik::put(const std::string& url) {
    return getDefaultInstance().put(url);
}

Zorvik::HttpRequestBuilder Zorvik::patch(const std::string& url) {
    return getDefaultInstance().patch(url);
}

Zorvik::HttpRequestBuilder Zorvik::del(const std::string& url) {
    return getDefaultInstance().del(url);
}

Zorvik::HttpRequestBuilder Zorvik::head(const std::string& url) {
    return getDefaultInstance().head(url);
}

Zorvik::HttpRequestBuilder Zorvik::options(const std::string& url) {
    return getDefaultInstance().options(url);
}

}  // namespace zorvik
