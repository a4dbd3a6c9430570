// The sound a device played, recorded, compared with the clip's own sound: where the
// clip's sound starts in the recording (by cross-correlation of the whole), then, window
// by window, how well each part of it is found there and how far from that start.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace soundtest {

struct TSoundMatch {
    std::ptrdiff_t Lag = 0;        // where the clip's sound starts in the recording, samples
    double WorstCorrelation = 0;   // the poorest window's normalised correlation
    std::ptrdiff_t WorstDrift = 0; // the largest distance of a window from Lag, samples
    std::size_t Windows = 0;
};

// In-place radix-2 transform; the size is a power of two.
inline void Fft(std::vector<std::complex<double>>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * M_PI / double(len) * (inverse ? 1 : -1);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// The lag (0 or more) at which `ref` correlates best with `rec`.
inline std::ptrdiff_t BestLag(const std::vector<float>& rec, const std::vector<float>& ref) {
    std::size_t n = 1;
    while (n < rec.size() + ref.size())
        n <<= 1;
    std::vector<std::complex<double>> a(n), b(n);
    std::copy(rec.begin(), rec.end(), a.begin());
    std::copy(ref.begin(), ref.end(), b.begin());
    Fft(a, false);
    Fft(b, false);
    for (std::size_t i = 0; i < n; ++i)
        a[i] *= std::conj(b[i]);
    Fft(a, true);
    std::size_t best = 0;
    for (std::size_t k = 1; k < rec.size(); ++k)
        if (a[k].real() > a[best].real())
            best = k;
    return std::ptrdiff_t(best);
}

// Normalised correlation of ref[at, at + length) with rec[at + lag, ...); 0 where the
// recording does not reach.
inline double Correlation(const std::vector<float>& rec, const std::vector<float>& ref,
                          std::size_t at, std::size_t length, std::ptrdiff_t lag) {
    const std::ptrdiff_t from = std::ptrdiff_t(at) + lag;
    if (from < 0 || std::size_t(from) + length > rec.size())
        return 0;
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const double x = ref[at + i], y = rec[std::size_t(from) + i];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

// Windows of `window` samples, each looked for within `search` samples of the lag of
// the whole.
inline TSoundMatch MatchSound(const std::vector<float>& rec, const std::vector<float>& ref,
                              std::size_t window, std::ptrdiff_t search) {
    TSoundMatch m;
    m.Lag = BestLag(rec, ref);
    m.WorstCorrelation = 1;
    for (std::size_t at = 0; at + window <= ref.size(); at += window, ++m.Windows) {
        double best = 0;
        std::ptrdiff_t bestLag = m.Lag;
        for (std::ptrdiff_t lag = m.Lag - search; lag <= m.Lag + search; ++lag) {
            const double c = Correlation(rec, ref, at, window, lag);
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        m.WorstCorrelation = std::min(m.WorstCorrelation, best);
        m.WorstDrift = std::max(m.WorstDrift, std::abs(bestLag - m.Lag));
    }
    return m;
}

} // namespace soundtest
