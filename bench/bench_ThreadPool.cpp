// Cost of queueing small tasks on the 10-worker pool and waiting for them.
#include "base/ThreadPool.h"

#include <benchmark/benchmark.h>
#include <vector>

static void BM_EnqueueAndWait(benchmark::State &state)
{
    ThreadPool pool(10);
    std::vector<std::future<int>> futures;
    futures.reserve(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        futures.clear();
        for (int64_t i = 0; i < state.range(0); ++i)
            futures.push_back(pool.enqueue([](int n) { return n * 2; }, int(i)));
        for (auto &future : futures)
            benchmark::DoNotOptimize(future.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EnqueueAndWait)->Arg(1)->Arg(100)->Arg(10000);

BENCHMARK_MAIN();
