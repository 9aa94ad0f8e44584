// Cost of the default TLS context: making it (every quil command does, before
// its first request) and its first connection object, which builds the
// OpenSSL context with the system trust lookups.
#include <benchmark/benchmark.h>

#include "zorvik/Zorvik.hpp"

namespace {

void BM_DefaultOpenSSLContext(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(zorvik::Zorvik::SSL::createOpenSSLContext());
    }
}
BENCHMARK(BM_DefaultOpenSSLContext);

void BM_DefaultContextFirstConnection(benchmark::State& state) {
    for (auto _ : state) {
        const auto context = zorvik::Zorvik::SSL::createOpenSSLContext();
        benchmark::DoNotOptimize(context->createConnection());
    }
}
BENCHMARK(BM_DefaultContextFirstConnection)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
