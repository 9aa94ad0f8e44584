// Round trips through the library's clients against an in-process loopback server.
#include "SilentLogger.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::Reply;

std::shared_ptr<zorvik::ZorvikConfig> benchConfig() {
    auto config = std::make_shared<zorvik::ZorvikConfig>();
    config->logger(std::make_shared<bench::SilentLogger>());
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

// The same load through one asynchronous session and through flyAsync on a
// bare client of the same back end, so that the session layer's cost shows
// beside it. Arguments: requests in flight, back end (1 epoll, 2 io_uring).
zorvik::IoBackend backendOf(const benchmark::State& state) {
    return static_cast<zorvik::IoBackend>(state.range(1));
}

void reportInFlight(benchmark::State& state, std::size_t batch, const LoopbackServer& server) {
    state.counters["requests_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * batch), benchmark::Counter::kIsRate);
    state.counters["connections"] = static_cast<double>(server.acceptCount());
}

void BM_InFlightThroughSession(benchmark::State& state) {
    LoopbackServer server;
    answerSmallBodies(server);
    const auto batch = static_cast<std::size_t>(state.range(0));
    zorvik::AsyncSessionConfig config{backendOf(state), batch, batch, batch, batch, batch, 1 << 20, 64 << 20,
                                      std::chrono::minutes(1), {}};
    zorvik::ZorvikInstance instance(benchConfig());
    std::unique_ptr<zorvik::AsyncSession> session;
    try {
        session = instance.openAsyncSession(config);
    } catch (const std::runtime_error& error) {
        state.SkipWithError(error.what());  // the kernel refuses io_uring
        return;
    }
    const zorvik::HttpRequest request(zorvik::HttpMethod::GET, server.url("/small"));
    std::vector<zorvik::HttpCompletion> out(batch);
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) {
            if (session->submit(request).status != zorvik::SubmitStatus::Accepted) {
                state.SkipWithError("request refused");
            }
        }
        for (std::size_t done = 0; done < batch;) {
            const auto result = session->wait(out, std::chrono::seconds(10));
            if (result.status != zorvik::WaitStatus::Ready) {
                state.SkipWithError("completion missing");
                break;
            }
            for (std::size_t i = 0; i < result.count; ++i) {
                const auto* response = std::get_if<zorvik::HttpResponse>(&out[i].result);
                if (response == nullptr || response->statusCode != 200) {
                    state.SkipWithError("request failed");
                }
            }
            done += result.count;
        }
    }
    reportInFlight(state, batch, server);
}
BENCHMARK(BM_InFlightThroughSession)
    ->ArgNames({"in_flight", "backend"})
    ->Args({64, static_cast<std::int64_t>(zorvik::IoBackend::Epoll)})
    ->Args({64, static_cast<std::int64_t>(zorvik::IoBackend::IoUring)})
    ->UseRealTime();

void BM_InFlightThroughFlyAsync(benchmark::State& state) {
    LoopbackServer server;
    answerSmallBodies(server);
    const auto batch = static_cast<std::size_t>(state.range(0));
    zorvik::IoBackend chosen = backendOf(state);
    std::shared_ptr<zorvik::HttpClient> client;
    try {
        client = zorvik::HttpClient::create(*benchConfig(), backendOf(state), chosen);
    } catch (const std::runtime_error& error) {
        state.SkipWithError(error.what());  // the kernel refuses io_uring
        return;
    }
    const zorvik::HttpRequest request(zorvik::HttpMethod::GET, server.url("/small"));
    std::vector<std::future<zorvik::HttpResponse>> futures;
    futures.reserve(batch);
    for (auto _ : state) {
        futures.clear();
        for (std::size_t i = 0; i < batch; ++i) {
            futures.push_back(zorvik::HttpClient::flyAsync(client, request));
        }
        for (auto& future : futures) {
            if (future.get().statusCode != 200) {
                state.SkipWithError("request failed");
            }
        }
    }
    reportInFlight(state, batch, server);
}
BENCHMARK(BM_InFlightThroughFlyAsync)
    ->ArgNames({"in_flight", "backend"})
    ->Args({64, static_cast<std::int64_t>(zorvik::IoBackend::Epoll)})
    ->Args({64, static_cast<std::int64_t>(zorvik::IoBackend::IoUring)})
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
