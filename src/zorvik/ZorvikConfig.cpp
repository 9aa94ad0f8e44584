#include "zorvik/ZorvikConfig.hpp"

#include <utility>

namespace zorvik {
namespace {

constexpr std::uint64_t kDefaultMaxThreads = 2;

}  // namespace

ZorvikConfig::ZorvikConfig()
    : logger_(defaultLogger_()), threadFactory_(std::make_shared<ZorvikThreadFactory>(kDefaultMaxThreads)) {}

const std::shared_ptr<LoggerAdapter>& ZorvikConfig::defaultLogger_() {
    static const std::shared_ptr<LoggerAdapter> shared = std::make_shared<ConsoleLoggerAdapter>();
    return shared;
}

ZorvikConfig& ZorvikConfig::logger(std::shared_ptr<LoggerAdapter> value) {
    logger_ = std::move(value);
    return *this;
}

ZorvikConfig& ZorvikConfig::printRequests(bool value) {
    printRequests_ = value;
    return *this;
}

ZorvikConfig& ZorvikConfig::printResponses(bool value) {
    printResponses_ = value;
    return *this;
}

ZorvikConfig& ZorvikConfig::timeout(int milliseconds) {
    timeout_ = milliseconds;
    return *this;
}

ZorvikConfig& ZorvikConfig::followRedirects(bool value) {
    followRedirects_ = value;
    return *this;
}

ZorvikConfig& ZorvikConfig::maxRedirects(int value) {
    maxRedirects_ = value;
    return *this;
}

ZorvikConfig& ZorvikConfig::defaultHeader(const std::string& name, const std::string& value) {
    defaultHeaders_[name] = value;
    return *this;
}

ZorvikConfig& ZorvikConfig::ssl(std::shared_ptr<SSLContext> context) {
    sslContext_ = std::move(context);
    return *this;
}

ZorvikConfig& ZorvikConfig::threadFactory(std::shared_ptr<ThreadFactory> factory) {
    threadFactory_ = std::move(factory);
    return *this;
}

ZorvikConfig& ZorvikConfig::maxResponseBytes(std::uint64_t bytes) {
    maxResponseBytes_ = bytes;
    return *this;
}

}  // namespace zorvik
