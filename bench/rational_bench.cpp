// Fractions and combinatorics.
#include <benchmark/benchmark.h>

#include "rational/rational.h"

namespace {

using VELD::Integer;
using VELD::Rational;

void factorialOf1000(benchmark::State& state) {
    const Integer n(1000);
    for (auto _ : state)
        benchmark::DoNotOptimize(n.factorial());
}
BENCHMARK(factorialOf1000)->Unit(benchmark::kMillisecond);

void choose1500Of750(benchmark::State& state) {
    const Integer n(1500), k(750);
    for (auto _ : state)
        benchmark::DoNotOptimize(n.choose(k));
}
BENCHMARK(choose1500Of750)->Unit(benchmark::kMillisecond);

// 1/1 + 1/2 + ... + 1/200, reduced after every addition.
void harmonicSum200(benchmark::State& state) {
    for (auto _ : state) {
        Rational sum{Integer()};
        for (int k = 1; k <= 200; ++k)
            sum = sum + Rational(Integer(1), Integer(k));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(harmonicSum200)->Unit(benchmark::kMillisecond);

}  // namespace
