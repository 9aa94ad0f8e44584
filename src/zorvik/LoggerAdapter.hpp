#pragma once

#include <string>

namespace zorvik {

// The library's logging interface. Levels, as passed to shouldLog:
// 0 trace, 1 debug, 2 info, 3 warn, 4 error, 5 critical.
class LoggerAdapter {
public:
    virtual ~LoggerAdapter() = default;
    virtual void trace(const std::string& message) = 0;
    virtual void debug(const std::string& message) = 0;
    virtual void info(const std::string& message) = 0;
    virtual void warn(const std::string& message) = 0;
    virtual void error(const std::string& message) = 0;
    virtual void critical(const std::string& message) = 0;
    virtual bool shouldLog(int level) const = 0;
};

// Writes "[YYYY-MM-DD HH:MM:SS] [LEVEL] message" lines in local time; ERROR and
// CRITICAL go to standard error, the rest to standard output. Only INFO and
// above pass its filter. All instances share one lock, so lines never interleave.
class ConsoleLoggerAdapter : public LoggerAdapter {
public:
    void trace(const std::string& message) override;
    void debug(const std::string& message) override;
    void info(const std::string& message) override;
    void warn(const std::string& message) override;
    void error(const std::string& message) override;
    void critical(const std::string& message) override;
    bool shouldLog(int level) const override;

    void logWithLevel(const std::string& level, const std::string& message) const;

private:
    void logIfEnabled(int level, const char* label, const std::string& message);
};

}  // namespace zorvik
