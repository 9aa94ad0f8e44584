#pragma once

#include "zorvik/AsyncSessionConfig.hpp"
#include "zorvik/HttpClient.hpp"
#include "zorvik/HttpRequest.hpp"
#include "zorvik/IoBackend.hpp"
#include "zorvik/LinuxAsyncEpollClient.hpp"
#include "zorvik/LinuxUringClient.hpp"
#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/ZorvikConfig.hpp"
#include "zorvik/detail/ReactorCore.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <unistd.h>
#include <vector>

namespace zorvik {

inline void PrintTo(IoBackend backend, std::ostream* out) {
    *out << (backend == IoBackend::IoUring ? "IoUring" : "Epoll");
}

}  // namespace zorvik

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

// A session's limits on the client: no response limit, no idle lifetime.
inline AsyncSessionConfig sessionLimits(std::uint64_t maxConnections) {
    AsyncSessionConfig config;
    config.maxConnections = maxConnections;
    config.maxResponseBytes = std::numeric_limits<std::uint64_t>::max();
    config.idleConnectionTtl = std::chrono::milliseconds::max();
    return config;
}

// For rows with much work, which a loaded machine, under a sanitizer, can
// stretch tenfold: a wait that only a fault outlasts, within ctest's time-out,
// and a request time-out that no test outlives, for requests that queue
// behind many others (their time-out counts the time queued).
inline constexpr std::chrono::seconds kPatience{60};
inline constexpr int kPatientMs = 10 * 60 * 1000;

inline HttpRequest makeRequest(HttpMethod method, const std::string& url, int timeoutMs = 10000) {
    HttpRequest request(method, url);
    request.setTimeout(timeoutMs);
    return request;
}

// The descriptors this process holds, with what each refers to
// ("socket:[...]", "anon_inode:[io_uring]", ...).
inline std::map<int, std::string> openDescriptors() {
    std::map<int, std::string> result;
    DIR* directory = ::opendir("/proc/self/fd");
    const int own = ::dirfd(directory);
    while (const dirent* entry = ::readdir(directory)) {
        char target[256] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        const int fd = std::atoi(entry->d_name);
        if (fd != own && ::readlink(path.c_str(), target, sizeof(target) - 1) > 0) {
            result.emplace(fd, target);
        }
    }
    ::closedir(directory);
    return result;
}

// Empty where this kernel gives io_uring; otherwise why it refuses.
inline const std::string& uringRefusal() {
    static const std::string refusal = [] {
        try {
            LinuxUringHttpClient probe(*quietConfig());
            return std::string();
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
    }();
    return refusal;
}

// A client on the back end; null where the kernel refuses io_uring.
inline std::shared_ptr<HttpClient> makeClient(IoBackend backend, const ZorvikConfig& config = *quietConfig()) {
    if (backend == IoBackend::IoUring && !uringRefusal().empty()) {
        return nullptr;
    }
    IoBackend chosen = IoBackend::Auto;
    return HttpClient::create(config, backend, chosen);
}

// The core of a reactor client, for the tests that narrow its budgets.
inline detail::ReactorCore& coreOf(HttpClient& client) {
    return dynamic_cast<detail::ReactorClient&>(client).core();
}

inline const auto kReactorBackends = ::testing::Values(IoBackend::Epoll, IoBackend::IoUring);

inline std::string backendName(IoBackend backend) {
    return ::testing::PrintToString(backend);
}

// Names a test instance by its back end, or by its back end and case name.
struct BackendCaseName {
    std::string operator()(const ::testing::TestParamInfo<IoBackend>& info) const { return backendName(info.param); }
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<std::tuple<IoBackend, Case>>& info) const {
        return backendName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    }
};

// A suite run on both reactor back ends: the test parameter is the back end,
// or a pair of the back end and a case. Where the kernel refuses io_uring, its
// tests are skipped and say so.
template <typename Param = IoBackend>
class BothBackends : public ::testing::TestWithParam<Param> {
protected:
    std::shared_ptr<HttpClient> client;

    IoBackend backend() const {
        if constexpr (std::is_same_v<Param, IoBackend>) {
            return this->GetParam();
        } else {
            return std::get<0>(this->GetParam());
        }
    }

    const auto& testCase() const { return std::get<1>(this->GetParam()); }

    void SetUp() override {
        client = makeClient(backend());
        if (!client) {
            GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
        }
    }
};

}  // namespace zorvik::testing
