// Round trips through the epoll client against an in-process loopback server.
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::Reply;

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

std::shared_ptr<zorvik::ZorvikConfig> benchConfig() {
    auto config = std::make_shared<zorvik::ZorvikConfig>();
    config->logger(std::make_shared<SilentLogger>());
    return config;
}

void answerSmallBodies(LoopbackServer& server) {
    const std::string reply = testsupport::net::okResponse(std::string(128, 'x'));
    server.setHandler([reply](const std::string&) { return Reply{reply}; });
}

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(index), samples.end());
    return samples[index];
}

void BM_SequentialKeepAliveFly(benchmark::State& state) {
    LoopbackServer server;
    answerSmallBodies(server);
    zorvik::ZorvikInstance instance(benchConfig());
    const std::string url = server.url("/small");
    std::vector<double> latenciesUs;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto response = instance.get(url).fly();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(response);
        if (response.statusCode != 200) {
            state.SkipWithError(response.statusMessage.c_str());
            break;
        }
        latenciesUs.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    state.counters["requests_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["median_us"] = percentile(latenciesUs, 0.5);
    state.counters["p99_us"] = percentile(latenciesUs, 0.99);
    state.counters["connections"] = static_cast<double>(server.acceptCount());
}
BENCHMARK(BM_SequentialKeepAliveFly)->UseRealTime();

void BM_ConcurrentFlyAsync(benchmark::State& state) {
    LoopbackServer server;
    answerSmallBodies(server);
    zorvik::ZorvikInstance instance(benchConfig());
    const std::string url = server.url("/small");
    const auto batch = static_cast<std::size_t>(state.range(0));
    std::vector<std::future<zorvik::HttpResponse>> futures;
    futures.reserve(batch);
    for (auto _ : state) {
        futures.clear();
        for (std::size_t i = 0; i < batch; ++i) {
            futures.push_back(instance.get(url).flyAsync());
        }
        for (auto& future : futures) {
            if (future.get().statusCode != 200) {
                state.SkipWithError("request failed");
            }
        }
    }
    state.counters["requests_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * batch), benchmark::Counter::kIsRate);
    state.counters["connections"] = static_cast<double>(server.acceptCount());
}
BENCHMARK(BM_ConcurrentFlyAsync)->Arg(64)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
