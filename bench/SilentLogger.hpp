#pragma once

#include "zorvik/LoggerAdapter.hpp"

#include <string>

namespace bench {

// Benchmarks measure requests, not log lines.
class SilentLogger : public zorvik::LoggerAdapter {
public:
    void trace(const std::string&) override {}
    void debug(const std::string&) override {}
    void info(const std::string&) override {}
    void warn(const std::string&) override {}
    void error(const std::string&) override {}
    void critical(const std::string&) override {}
    bool shouldLog(int) const override { return false; }
};

}  // namespace bench
