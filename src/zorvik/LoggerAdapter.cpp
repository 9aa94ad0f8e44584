#include "zorvik/LoggerAdapter.hpp"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <mutex>

namespace zorvik {
namespace {

enum Level : int { Trace = 0, Debug = 1, Info = 2, Warn = 3, Error = 4, Critical = 5 };

}  // namespace

void ConsoleLoggerAdapter::trace(const std::string& message) { logIfEnabled(Trace, "TRACE", message); }

void ConsoleLoggerAdapter::debug(const std::string& message) { logIfEnabled(Debug, "DEBUG", message); }

void ConsoleLoggerAdapter::info(const std::string& message) { logIfEnabled(Info, "INFO", message); }

void ConsoleLoggerAdapter::warn(const std::string& message) { logIfEnabled(Warn, "WARN", message); }

void ConsoleLoggerAdapter::error(const std::string& message) { logIfEnabled(Error, "ERROR", message); }

void ConsoleLoggerAdapter::critical(const std::string& message) { logIfEnabled(Critical, "CRITICAL", message); }

bool ConsoleLoggerAdapter::shouldLog(int level) const { return level > Debug; }

void ConsoleLoggerAdapter::logIfEnabled(int level, const char* label, const std::string& message) {
    // Through the virtual slot, so that a derived logger's filter applies.
    if (shouldLog(level)) {
        logWithLevel(label, message);
    }
}

void ConsoleLoggerAdapter::logWithLevel(const std::string& level, const std::string& message) const {
    // One lock for every instance keeps lines whole on both streams; the time is
    // read under it so that each stream's lines are in time order.
    static std::mutex consoleMutex;
    const std::lock_guard<std::mutex> lock(consoleMutex);
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    std::ostream& stream = (level == "ERROR" || level == "CRITICAL") ? std::cerr : std::cout;
    stream << "[" << std::put_time(&local, "%Y-%m-%d %H:%M:%S") << "] [" << level << "] " << message << std::endl;
}

}  // namespace zorvik
