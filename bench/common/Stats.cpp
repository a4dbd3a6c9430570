#include "bench/common/Stats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace bench {

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    // p * n / 100 is exact for whole percentages; the margin keeps 9.0000001 from rounding up.
    const auto rank = std::size_t(std::ceil(p * double(values.size()) / 100 - 1e-9));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Mean(const std::vector<double>& values) {
    if (values.empty())
        return 0;
    return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

} // namespace bench
