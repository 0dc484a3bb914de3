#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

// What the benchmark programs share: a clock and the statistics of their rounds.
namespace sf::bench {

// Seconds on the performance counter.
inline double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The `q` quantile (0.5 the median), interpolated between neighbours.
inline double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(at);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

} // namespace sf::bench
