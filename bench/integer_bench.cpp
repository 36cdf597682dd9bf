// Integer core: decimal text both ways, the steps by ten, and addition.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "integer/integer.h"

namespace {

using VELD::Integer;

Integer randomInteger(std::uint32_t words, std::uint64_t seed) {
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    std::vector<std::uint32_t> magnitude(words);
    for (auto& word : magnitude)
        word = rng();
    magnitude.back() |= 1u;
    return Integer::fromWords(magnitude.data(), words, false);
}

std::string randomDigits(std::size_t count) {
    std::mt19937 rng(7);
    std::string digits(count, '0');
    for (auto& digit : digits)
        digit = static_cast<char>('0' + rng() % 10);
    digits[0] = '7';
    return digits;
}

void readDecimal(benchmark::State& state) {
    const std::string digits = randomDigits(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Integer(digits.c_str()));
}
BENCHMARK(readDecimal)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);

void printDecimal(benchmark::State& state) {
    const std::string digits = randomDigits(static_cast<std::size_t>(state.range(0)));
    const Integer value(digits.c_str());
    std::vector<char> buffer(digits.size() + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            value.print(buffer.data(), static_cast<std::uint32_t>(buffer.size())));
    }
}
BENCHMARK(printDecimal)->Arg(1000)->Arg(8000)->Arg(60000)->Unit(benchmark::kMillisecond);

void multiplyByTen(benchmark::State& state) {
    const Integer value = randomInteger(1000, 1);
    for (auto _ : state) {
        Integer x(value);
        x.multiplyByTen();
        benchmark::DoNotOptimize(x);
    }
}
BENCHMARK(multiplyByTen)->Unit(benchmark::kMicrosecond);

// Includes a copy of the 1,000-word dividend per iteration, a small part of the cost.
void divideByTen(benchmark::State& state) {
    Integer value = randomInteger(1000, 2);
    value.multiplyByTen();
    for (auto _ : state) {
        Integer x(value);
        x.divideByTen();
        benchmark::DoNotOptimize(x);
    }
}
BENCHMARK(divideByTen)->Unit(benchmark::kMicrosecond);

void addition(benchmark::State& state) {
    const Integer a = randomInteger(1000, 3), b = randomInteger(1000, 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(a + b);
}
BENCHMARK(addition)->Unit(benchmark::kMicrosecond);

// Products of random operands of the given word counts; the role choice decides which
// operand drives, so both orders are measured.
void product(benchmark::State& state) {
    const Integer a = randomInteger(static_cast<std::uint32_t>(state.range(0)), 5);
    const Integer b = randomInteger(static_cast<std::uint32_t>(state.range(1)), 6);
    for (auto _ : state)
        benchmark::DoNotOptimize(a * b);
}
BENCHMARK(product)
    ->Args({100, 100})
    ->Args({1000, 1000})
    ->Args({1000, 1})
    ->Args({1, 1000})
    ->Unit(benchmark::kMillisecond);

void division(benchmark::State& state) {
    const Integer dividend = randomInteger(2000, 7), divisor = randomInteger(1000, 8);
    for (auto _ : state) {
        Integer quotient(dividend);
        benchmark::DoNotOptimize(quotient.integerDivision(divisor));
    }
}
BENCHMARK(division)->Unit(benchmark::kMillisecond);

void greatestCommonDivisor(benchmark::State& state) {
    const Integer a = randomInteger(500, 9), b = randomInteger(500, 10);
    for (auto _ : state)
        benchmark::DoNotOptimize(VELD::gcd(a, b));
}
BENCHMARK(greatestCommonDivisor)->Unit(benchmark::kMillisecond);

void powerOfThree(benchmark::State& state) {
    const Integer three(3), exponent(10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(three.power(exponent));
}
BENCHMARK(powerOfThree)->Unit(benchmark::kMillisecond);

}  // namespace
