#pragma once

#include <memory>
#include <string>

namespace bench {

// The documents every comparison fetches, served over plain HTTP and over
// TLS on loopback: a loopback nginx started for the run when one is
// installed, otherwise the project's own loopback servers.
class BenchServer {
public:
    static constexpr std::size_t kSmallBytes = 1084;
    static constexpr std::size_t kLargeBytes = 1 << 20;
    static constexpr std::size_t kHugeBytes = 64 << 20;

    BenchServer();
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // "small.json", "large.bin" or "huge.bin" over http or https.
    std::string url(const std::string& document, bool tls) const;
    // The CA bundle that makes the TLS server trusted.
    const std::string& caFile() const;
    // "nginx" or "loopback".
    const char* kind() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace bench
