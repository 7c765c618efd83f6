// In-process micro benchmarks (Google Benchmark): the cost of reading one line must not grow
// with the amount of input already buffered, and building the Cookie value at 10, 100 and 1000
// stored cookies.
#include <benchmark/benchmark.h>

#include <string>

#include "http/IdCookieManager.h"
#include "net/IdTCPConnection.h"

namespace velomaris {
namespace {

// Reads every line of a buffer of state.range(0) lines; reported per line, the time must stay
// flat from a few lines to a large buffer.
void LineReading(benchmark::State& state) {
    const std::int64_t lines = state.range(0);
    std::string input;
    for (std::int64_t i = 0; i < lines; ++i) {
        input += "220-line " + std::to_string(i) + " of a long multi-line reply\r\n";
    }
    for (auto _ : state) {
        state.PauseTiming();
        TIdTCPConnection connection;
        connection.PendingInput().Append(input.data(), input.size());
        state.ResumeTiming();
        for (std::int64_t i = 0; i < lines; ++i) {
            benchmark::DoNotOptimize(connection.ReadLine());
        }
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(LineReading)->Arg(16)->Arg(1024)->Arg(65536)->Arg(262144);

// Builds the Cookie value for a host matched by state.range(0) cookies, 50 per domain (the
// store's limit) over as many parent domains of the host as needed.
void BuildCookieValue(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int domains = (count + TIdCookieManager::kMaxCookiesPerDomain - 1) /
                        TIdCookieManager::kMaxCookiesPerDomain;
    std::string host = "example.com";
    for (int d = 0; d < domains; ++d) {
        host = "l" + std::to_string(d) + "." + host;
    }
    host = "www." + host;
    TIdCookieManager store;
    int stored = 0;
    std::string parent = "example.com";
    for (int d = 0; d < domains && stored < count; ++d) {
        parent = "l" + std::to_string(d) + "." + parent;
        for (int i = 0; i < TIdCookieManager::kMaxCookiesPerDomain && stored < count; ++i) {
            const std::string text = "c" + std::to_string(d) + "_" + std::to_string(i) +
                                     "=value; path=/; domain=." + parent;
            // Set by a host directly under the domain, as RFC 2109 requires of the setter.
            stored += store.StoreCookie(text, "h." + parent, TIdCookieClass::ccRFC2109) ? 1 : 0;
        }
    }
    if (stored != count) {
        state.SkipWithError("the store did not keep every cookie");
        return;
    }
    std::size_t length = 0;
    for (auto _ : state) {
        const std::string value = store.BuildCookieValue(host, "/index.php", false);
        length = value.size();
        benchmark::DoNotOptimize(value);
    }
    state.counters["value_bytes"] = static_cast<double>(length);
}
BENCHMARK(BuildCookieValue)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
}  // namespace velomaris

BENCHMARK_MAIN();
