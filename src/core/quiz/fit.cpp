// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/fit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <random>
#include <unordered_map>

namespace tabinowa::fsrs {

namespace {

constexpr int N = 21;
constexpr double kMaxStability = kMaximumInterval;
constexpr double kEps = 1e-6;  // predictions are kept inside (eps, 1 - eps) for the log

// A value and its derivatives with respect to the 21 weights.
struct Dual {
    double v = 0;
    std::array<double, N> d{};
    Dual() = default;
    Dual(double value) : v(value) {}  // a constant (implicit: formulas mix constants in)
};

inline Dual weight(double value, int i) {
    Dual x(value);
    x.d[static_cast<std::size_t>(i)] = 1;
    return x;
}

template <class F>
inline Dual chain(const Dual& a, double value, double slope, F) {
    Dual r(value);
    for (int i = 0; i < N; ++i) r.d[i] = slope * a.d[i];
    return r;
}
inline Dual operator+(const Dual& a, const Dual& b) {
    Dual r(a.v + b.v);
    for (int i = 0; i < N; ++i) r.d[i] = a.d[i] + b.d[i];
    return r;
}
inline Dual operator-(const Dual& a, const Dual& b) {
    Dual r(a.v - b.v);
    for (int i = 0; i < N; ++i) r.d[i] = a.d[i] - b.d[i];
    return r;
}
inline Dual operator*(const Dual& a, const Dual& b) {
    Dual r(a.v * b.v);
    for (int i = 0; i < N; ++i) r.d[i] = a.d[i] * b.v + a.v * b.d[i];
    return r;
}
inline Dual operator/(const Dual& a, const Dual& b) {
    Dual r(a.v / b.v);
    const double inv = 1.0 / b.v;
    for (int i = 0; i < N; ++i) r.d[i] = (a.d[i] - r.v * b.d[i]) * inv;
    return r;
}
inline Dual operator*(double k, const Dual& a) {
    Dual r(k * a.v);
    for (int i = 0; i < N; ++i) r.d[i] = k * a.d[i];
    return r;
}
inline Dual exp(const Dual& a) {
    const double e = std::exp(a.v);
    return chain(a, e, e, 0);
}
inline Dual log(const Dual& a) { return chain(a, std::log(a.v), 1.0 / a.v, 0); }
// a^b with both varying (a > 0).
inline Dual pow(const Dual& a, const Dual& b) {
    const double p = std::pow(a.v, b.v);
    Dual r(p);
    const double la = std::log(a.v);
    const double k = b.v / a.v;
    for (int i = 0; i < N; ++i) r.d[i] = p * (b.d[i] * la + k * a.d[i]);
    return r;
}
inline double value(double x) { return x; }
inline double value(const Dual& x) { return x.v; }

using std::exp;
using std::log;
using std::pow;

// A clamp that keeps the derivatives of the value inside and has none at the bounds.
template <class T>
T clampT(const T& x, double lo, double hi) {
    if (value(x) < lo) return T(lo);
    if (value(x) > hi) return T(hi);
    return x;
}
template <class T>
T minT(const T& a, const T& b) { return value(a) <= value(b) ? a : b; }
template <class T>
T maxT(const T& a, const T& b) { return value(a) >= value(b) ? a : b; }

// The scheduler's formulas (fsrs.cpp) over T: double, or Dual for the gradient.
template <class T>
struct Model {
    std::array<T, N> w;
    T decay, factor;

    explicit Model(const std::array<T, N>& weights) : w(weights) {
        decay = T(0.0) - w[20];
        factor = pow(T(0.9), T(1.0) / decay) - T(1.0);
    }
    T recall(double elapsed, const T& s) const { return pow(T(1.0) + factor * T(elapsed) / s, decay); }
    T initialDifficulty(int g) const { return w[4] - exp(w[5] * T(g - 1.0)) + T(1.0); }
    void first(int g, T& s, T& d) const {
        s = clampT(w[static_cast<std::size_t>(g - 1)], kMinStability, kMaxStability);
        d = clampT(initialDifficulty(g), 1.0, 10.0);
    }
    void next(T& s, T& d, int elapsed, int g) const {
        const T S = s, D = d;
        const T delta = T(0.0) - w[6] * T(g - 3.0);
        const T damped = D + delta * (T(10.0) - D) / T(9.0);
        d = clampT(w[7] * initialDifficulty(4) + (T(1.0) - w[7]) * damped, 1.0, 10.0);
        T nextS;
        if (elapsed <= 0) {
            T inc = exp(w[17] * (T(g - 3.0) + w[18])) * pow(S, T(0.0) - w[19]);
            if (g >= 3) inc = maxT(inc, T(1.0));
            nextS = S * inc;
        } else {
            const T R = recall(elapsed, S);
            if (g == 1) {
                const T longTerm = w[11] * pow(D, T(0.0) - w[12]) * (pow(S + T(1.0), w[13]) - T(1.0)) *
                                   exp(w[14] * (T(1.0) - R));
                const T shortTerm = S / exp(w[17] * w[18]);
                nextS = minT(longTerm, shortTerm);
            } else {
                T factorGH = T(1.0);
                if (g == 2) factorGH = w[15];
                if (g == 4) factorGH = w[16];
                nextS = S * (T(1.0) + exp(w[8]) * (T(11.0) - D) * pow(S, T(0.0) - w[9]) *
                                          (exp(w[10] * (T(1.0) - R)) - T(1.0)) * factorGH);
            }
        }
        s = clampT(nextS, kMinStability, kMaxStability);
    }
};

// Replays one card, calling `seen(R, right)` for every predicted answer.
template <class T, class F>
void replay(const Model<T>& m, const History& h, F&& seen) {
    if (h.empty()) return;
    T s, d;
    m.first(static_cast<int>(h[0].grade), s, d);
    for (std::size_t i = 1; i < h.size(); ++i) {
        const int elapsed = std::max(0, h[i].day - h[i - 1].day);
        const int g = static_cast<int>(h[i].grade);
        if (elapsed > 0) seen(m.recall(elapsed, s), g > 1);
        m.next(s, d, elapsed, g);
    }
}

double bce(double r, bool right) {
    r = std::clamp(r, kEps, 1 - kEps);
    return right ? -std::log(r) : -std::log(1 - r);
}

// Loss summed over some cards, with its gradient summed into `grad`; returns the count.
int accumulate(const std::vector<History>& cards, const std::vector<std::size_t>& which, std::size_t from,
               std::size_t to, const Weights& w, double& loss, Weights& grad) {
    std::array<Dual, N> dw;
    for (int i = 0; i < N; ++i) dw[static_cast<std::size_t>(i)] = weight(w[static_cast<std::size_t>(i)], i);
    const Model<Dual> m(dw);
    int n = 0;
    for (std::size_t k = from; k < to; ++k) {
        replay(m, cards[which[k]], [&](const Dual& R, bool right) {
            ++n;
            const double r = std::clamp(R.v, kEps, 1 - kEps);
            loss += bce(R.v, right);
            if (R.v <= kEps || R.v >= 1 - kEps) return;  // flat beyond the clamp
            const double dLdR = right ? -1.0 / r : 1.0 / (1 - r);
            for (int i = 0; i < N; ++i) grad[static_cast<std::size_t>(i)] += dLdR * R.d[static_cast<std::size_t>(i)];
        });
    }
    return n;
}

int predictedIn(const History& h) {
    int n = 0;
    for (std::size_t i = 1; i < h.size(); ++i) n += h[i].day > h[i - 1].day;
    return n;
}

}  // namespace

Weights clamped(Weights w) {
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (!std::isfinite(w[i])) w[i] = kDefaultWeights[i];
        w[i] = std::clamp(w[i], kWeightRanges[i].first, kWeightRanges[i].second);
    }
    return w;
}

bool inRange(const Weights& w) {
    for (std::size_t i = 0; i < w.size(); ++i)
        if (!std::isfinite(w[i]) || w[i] < kWeightRanges[i].first || w[i] > kWeightRanges[i].second) return false;
    return true;
}

std::vector<History> histories(const std::vector<LoggedAnswer>& log) {
    std::vector<History> out;
    std::unordered_map<std::string, std::size_t> index;
    index.reserve(log.size() / 4 + 1);
    for (const auto& a : log) {
        if (a.outcome < 0 || a.outcome > 3) continue;
        auto [it, fresh] = index.try_emplace(a.key, out.size());
        if (fresh) out.emplace_back();
        out[it->second].push_back({a.day, static_cast<Grade>(a.outcome + 1)});
    }
    return out;
}

int predictedAnswers(const std::vector<History>& cards) {
    int n = 0;
    for (const auto& h : cards) n += predictedIn(h);
    return n;
}

Metrics evaluate(const std::vector<History>& cards, const Weights& w) {
    const Model<double> m(w);
    constexpr int kBins = 20;
    std::array<double, kBins> predicted{}, actual{};
    std::array<int, kBins> count{};
    Metrics out;
    double loss = 0;
    for (const auto& h : cards)
        replay(m, h, [&](double R, bool right) {
            loss += bce(R, right);
            const int b = std::clamp(static_cast<int>(R * kBins), 0, kBins - 1);
            predicted[b] += R;
            actual[b] += right;
            ++count[b];
            ++out.answers;
        });
    if (out.answers == 0) return out;
    out.logLoss = loss / out.answers;
    double sq = 0;
    for (int b = 0; b < kBins; ++b)
        if (count[b] > 0) {
            const double diff = (predicted[b] - actual[b]) / count[b];
            sq += diff * diff * count[b];
        }
    out.rmseBins = std::sqrt(sq / out.answers);
    return out;
}

double lossAndGradient(const std::vector<History>& cards, const Weights& w, Weights& gradient) {
    std::vector<std::size_t> all(cards.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    gradient.fill(0);
    double loss = 0;
    const int n = accumulate(cards, all, 0, all.size(), w, loss, gradient);
    if (n == 0) return 0;
    for (double& g : gradient) g /= n;
    return loss / n;
}

FitResult fitWeights(const std::vector<History>& cards, const FitOptions& options, const Weights& start) {
    FitResult result;
    result.weights = result.fitted = clamped(start);
    result.before = evaluate(cards, result.weights);
    result.after = result.before;
    result.enough = result.before.answers >= kMinPredictedAnswers;
    if (!result.enough) return result;

    // Only cards with a predicted answer take part; batches are runs of cards
    // in a shuffled order holding about batchSize predicted answers.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < cards.size(); ++i)
        if (predictedIn(cards[i]) > 0) order.push_back(i);
    const int batchesPerEpoch = std::max(1, result.before.answers / std::max(1, options.batchSize));
    const int epochs = std::max(options.epochs, (options.minSteps + batchesPerEpoch - 1) / batchesPerEpoch);
    const int totalSteps = epochs * batchesPerEpoch;

    std::mt19937_64 rng(options.seed);
    Weights w = result.fitted;
    Weights m{}, v{};
    constexpr double b1 = 0.9, b2 = 0.999, eps = 1e-8;
    int step = 0;
    for (int e = 0; e < epochs; ++e) {
        std::shuffle(order.begin(), order.end(), rng);
        std::size_t from = 0;
        for (int b = 0; b < batchesPerEpoch && from < order.size(); ++b) {
            // the last batch of an epoch takes every card left
            std::size_t to = from;
            int inBatch = 0;
            if (b == batchesPerEpoch - 1) {
                to = order.size();
            } else {
                while (to < order.size() && inBatch < options.batchSize) inBatch += predictedIn(cards[order[to++]]);
            }
            Weights g{};
            double loss = 0;
            const int n = accumulate(cards, order, from, to, w, loss, g);
            from = to;
            if (n == 0) continue;
            ++step;
            // cosine annealing of the step size over the whole fit
            const double lr = options.learningRate * 0.5 * (1 + std::cos(M_PI * (step - 1) / totalSteps));
            const double c1 = 1 - std::pow(b1, step), c2 = 1 - std::pow(b2, step);
            for (std::size_t i = 0; i < w.size(); ++i) {
                const double gi = g[i] / n;
                m[i] = b1 * m[i] + (1 - b1) * gi;
                v[i] = b2 * v[i] + (1 - b2) * gi * gi;
                w[i] -= lr * (m[i] / c1) / (std::sqrt(v[i] / c2) + eps);
            }
            w = clamped(w);
            if (options.progress && !options.progress(static_cast<double>(step) / totalSteps)) {
                result.stopped = true;
                return result;
            }
        }
    }
    result.fitted = w;
    result.after = evaluate(cards, w);
    result.improved = result.after.logLoss < result.before.logLoss;
    if (result.improved) result.weights = w;
    return result;
}

std::string weightsText(const Weights& w) {
    std::string out;
    char buf[32];
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (i) out += ' ';
        out.append(buf, std::to_chars(buf, buf + sizeof buf, w[i]).ptr);
    }
    return out;
}

bool parseWeights(const std::string& text, Weights& out) {
    Weights w{};
    const char* p = text.data();
    const char* end = p + text.size();
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != ' ') return false;
            ++p;
        }
        auto r = std::from_chars(p, end, w[i]);
        if (r.ec != std::errc()) return false;
        p = r.ptr;
    }
    if (p != end || !inRange(w)) return false;
    out = w;
    return true;
}

}  // namespace tabinowa::fsrs
