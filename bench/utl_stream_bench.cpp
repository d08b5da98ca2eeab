// Appending and formatting numbers: the text buffer against std::string with std::to_chars and
// with snprintf, side by side.
#include "utl/utl_stream.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <string>

namespace {

constexpr int k_values = 1000;

void BM_utl_stream_integers(benchmark::State& state) {
  for (auto _ : state) {
    utl_stream_c s;
    for (int i = 0; i < k_values; ++i) s << static_cast<long long>(i * 7919) << ',';
    benchmark::DoNotOptimize(s.c_str());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_utl_stream_integers);

void BM_string_to_chars_integers(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    char field[24];
    for (int i = 0; i < k_values; ++i) {
      auto r = std::to_chars(field, field + sizeof field, static_cast<long long>(i * 7919));
      s.append(field, static_cast<size_t>(r.ptr - field));
      s += ',';
    }
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_string_to_chars_integers);

void BM_string_snprintf_integers(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    char field[24];
    for (int i = 0; i < k_values; ++i) {
      int n = std::snprintf(field, sizeof field, "%lld", static_cast<long long>(i * 7919));
      s.append(field, static_cast<size_t>(n));
      s += ',';
    }
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_string_snprintf_integers);

void BM_utl_stream_doubles(benchmark::State& state) {
  for (auto _ : state) {
    utl_stream_c s;
    for (int i = 0; i < k_values; ++i) s << (i * 0.37) << ',';
    benchmark::DoNotOptimize(s.c_str());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_utl_stream_doubles);

void BM_string_snprintf_doubles(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    char field[32];
    for (int i = 0; i < k_values; ++i) {
      int n = std::snprintf(field, sizeof field, "%.4f", i * 0.37);
      s.append(field, static_cast<size_t>(n));
      s += ',';
    }
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_string_snprintf_doubles);

void BM_utl_stream_texts(benchmark::State& state) {
  for (auto _ : state) {
    utl_stream_c s;
    for (int i = 0; i < k_values; ++i) s << "IsSyncReplicated" << "=" << "True" << ' ';
    benchmark::DoNotOptimize(s.c_str());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_utl_stream_texts);

void BM_string_texts(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    for (int i = 0; i < k_values; ++i) {
      s += "IsSyncReplicated";
      s += "=";
      s += "True";
      s += ' ';
    }
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * k_values);
}
BENCHMARK(BM_string_texts);

}  // namespace

BENCHMARK_MAIN();
