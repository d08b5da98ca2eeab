// The median the benchmarks report of repeated measurements (of times or of their ratios).
#ifndef STATS_MNG_BENCH_BENCH_MEDIAN_H
#define STATS_MNG_BENCH_BENCH_MEDIAN_H

#include <algorithm>
#include <cstddef>
#include <vector>

inline double median_of(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

#endif
