#pragma once

#include "zorvik/HttpRequest.hpp"
#include "zorvik/LinuxAsyncEpollClient.hpp"
#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/ZorvikConfig.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zorvik::testing {

// Keeps every line with its level, so that tests can read what was logged.
class RecordingLogger : public LoggerAdapter {
public:
    void trace(const std::string& message) override { record("TRACE", message); }
    void debug(const std::string& message) override { record("DEBUG", message); }
    void info(const std::string& message) override { record("INFO", message); }
    void warn(const std::string& message) override { record("WARN", message); }
    void error(const std::string& message) override { record("ERROR", message); }
    void critical(const std::string& message) override { record("CRITICAL", message); }
    bool shouldLog(int) const override { return true; }

    std::vector<std::pair<std::string, std::string>> lines() const {
        const std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    void record(const char* level, const std::string& message) {
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(level, message);
    }

    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> lines_;
};

inline std::shared_ptr<ZorvikConfig> quietConfig() {
    auto config = std::make_shared<ZorvikConfig>();
    config->logger(std::make_shared<RecordingLogger>());
    return config;
}

inline std::shared_ptr<LinuxAsyncEpollClient> makeClient() {
    return std::make_shared<LinuxAsyncEpollClient>(*quietConfig());
}

inline HttpRequest makeRequest(HttpMethod method, const std::string& url, int timeoutMs = 10000) {
    HttpRequest request(method, url);
    request.setTimeout(timeoutMs);
    return request;
}

}  // namespace zorvik::testing
