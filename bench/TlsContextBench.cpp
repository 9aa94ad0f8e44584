// Cost of the default TLS context, which every quil command builds once
// before its first request, whether or not the server speaks TLS.
#include <benchmark/benchmark.h>

#include "zorvik/Zorvik.hpp"

namespace {

void BM_DefaultOpenSSLContext(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(zorvik::Zorvik::SSL::createOpenSSLContext());
    }
}
BENCHMARK(BM_DefaultOpenSSLContext)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
