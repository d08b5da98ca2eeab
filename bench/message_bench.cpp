// Lookups by key in a store of 10,000 messages: the fixed 101-bucket table of named lists against
// std::unordered_map, side by side.
#include "utl/hash_table.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int k_messages = 10000;

const std::vector<std::string>& identifiers() {
  static std::vector<std::string> ids = [] {
    std::vector<std::string> v;
    char id[16];
    for (int i = 0; i < k_messages; ++i) {
      std::snprintf(id, sizeof id, "%c%c%05d", 'A' + i % 26, 'A' + (i / 26) % 26, i);
      v.push_back(id);
    }
    return v;
  }();
  return ids;
}

void BM_store_lookup(benchmark::State& state) {
  utl_hash_base_ct<ptr_string_list_c, const char*> table(101, true);
  const auto& ids = identifiers();
  for (const std::string& id : ids) table.append(id.c_str(), const_cast<char*>(id.c_str()));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.find(ids[i].c_str()));
    i = (i + 7919) % ids.size();
  }
}
BENCHMARK(BM_store_lookup);

void BM_unordered_map_lookup(benchmark::State& state) {
  std::unordered_map<std::string, const char*> map;
  const auto& ids = identifiers();
  for (const std::string& id : ids) map.emplace(id, id.c_str());
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(ids[i].c_str()));
    i = (i + 7919) % ids.size();
  }
}
BENCHMARK(BM_unordered_map_lookup);

}  // namespace

BENCHMARK_MAIN();
