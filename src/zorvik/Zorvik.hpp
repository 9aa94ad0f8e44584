#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "zorvik/SSLContext.hpp"
#include "zorvik/ThreadFactory.hpp"
#include "zorvik/ZorvikConfig.hpp"
#include "zorvik/ZorvikInstance.hpp"

namespace zorvik {

// Process-wide named instances. An instance is registered once, configured
// through the reference config() returns (before its first request), and
// found again by name with use(); none is ever removed or replaced. The static
// verbs send through the instance "default", made on first use.
class Zorvik {
public:
    using HttpRequestBuilder = ZorvikInstance::HttpRequestBuilder;

    // Makers of TLS contexts and what this build supports.
    class SSL {
    public:
        static std::shared_ptr<SSLContext> createOpenSSLContext();
        static bool sslEnabled();
        [[noreturn]] static std::shared_ptr<SSLContext> createBotanContext();
        [[noreturn]] static std::shared_ptr<SSLContext> createMbedTLSContext();
    };

    // Chooses the thread factory: the library's own with a maximum, or a custom one.
    class ThreadPoolConfig {
    public:
        static ThreadPoolConfig create();
        ThreadPoolConfig& maxThreads(std::uint64_t count);
        ThreadPoolConfig& useZorvikThreadPool();
        ThreadPoolConfig& useCustomFactory(std::shared_ptr<ThreadFactory> factory);
        std::shared_ptr<ThreadFactory> getThreadFactory() const;

    private:
        std::uint64_t maxThreads_ = 2;
        std::shared_ptr<ThreadFactory> customFactory_;
        bool useCustom_ = false;
    };

    Zorvik() = delete;

    static ZorvikConfig& config(const std::string& name);
    static ZorvikInstance& use(const std::string& name);
    static ZorvikInstance& getDefaultInstance();

    static HttpRequestBuilder get(const std::string& url);
    static HttpRequestBuilder post(const std::string& url);
    static HttpRequestBuilder put(const std::string& url);
    static HttpRequestBuilder patch(const std::string& url);
    static HttpRequestBuilder del(const std::string& url);
    static HttpRequestBuilder head(const std::string& url);
    static HttpRequestBuilder options(const std::string& url);

private:
    // Needs instancesMutex_ held.
    static ZorvikInstance& ensureDefaultInstance();

    static std::map<std::string, std::unique_ptr<ZorvikInstance>> instances_;
    static std::mutex instancesMutex_;
};

}  // namespace zorvik
