// Two ways of doing the same work timed side by side in one run: each sample
// times both, the order alternating from sample to sample, so that a moment
// of load on a shared machine falls on both alike. The figures are the
// medians of the samples; the ratio (peer / MORVEN, above 1: MORVEN faster)
// is the median of the per-sample ratios, with its quartiles as the spread.
#ifndef MORVEN_BENCH_SIDE_BY_SIDE_H
#define MORVEN_BENCH_SIDE_BY_SIDE_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

namespace sideBySide {

inline double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

inline double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    double at = q * double(v.size() - 1);
    size_t i = static_cast<size_t>(at);
    double frac = at - double(i);
    return i + 1 < v.size() ? v[i] * (1 - frac) + v[i + 1] * frac : v[i];
}

// Per-sample times of both sides, in seconds of the thread's CPU time.
struct Samples {
    std::vector<double> ours, peer;

    // Times ours() and peer() once each, in the order the sample's number
    // gives; `units` is the useful work each did (the figures are per unit).
    template <class Ours, class Peer>
    void take(Ours &&runOurs, Peer &&runPeer, double oursUnits = 1, double peerUnits = 1) {
        bool oursFirst = ours.size() % 2 == 0;
        double a = 0, b = 0;
        for (int k = 0; k < 2; k++) {
            double start = threadSeconds();
            if ((k == 0) == oursFirst) {
                runOurs();
                a = (threadSeconds() - start) / oursUnits;
            } else {
                runPeer();
                b = (threadSeconds() - start) / peerUnits;
            }
        }
        ours.push_back(a);
        peer.push_back(b);
    }

    // Counters: ours and peer (median, in `scale` units of a second), ratio
    // and its quartiles; their names start with `prefix`.
    void report(benchmark::State &state, double scale, const std::string &prefix = "") const {
        std::vector<double> r;
        for (size_t i = 0; i < ours.size(); i++)
            if (ours[i] > 0) r.push_back(peer[i] / ours[i]);
        state.counters[prefix + "ours"] = quantile(ours, 0.5) * scale;
        state.counters[prefix + "peer"] = quantile(peer, 0.5) * scale;
        state.counters[prefix + "ratio"] = quantile(r, 0.5);
        state.counters[prefix + "ratio_lo"] = quantile(r, 0.25);
        state.counters[prefix + "ratio_hi"] = quantile(r, 0.75);
        state.counters[prefix + "samples"] = double(ours.size());
    }
};

}  // namespace sideBySide

#endif
