// Order statistics of the timing programs.
#pragma once

#include <vector>

namespace bench {

// The p-th percentile (0 < p <= 100) by nearest rank: the smallest value that at least p
// percent of the values do not exceed. 0 for no values.
double Percentile(std::vector<double> values, double p);

// The arithmetic mean; 0 for no values.
double Mean(const std::vector<double>& values);

} // namespace bench
