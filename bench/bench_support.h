// What the benchmark programs share beyond the test driver: a clock and the summaries they
// report.
#pragma once

#include <vector>

namespace bench {

double NowMs();
double Median(std::vector<double> values);
double Minimum(const std::vector<double>& values);

} // namespace bench
