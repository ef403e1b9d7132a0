// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A random source that gives back a fixed sequence (then repeats its last value).
#include <vector>

#include "core/base/random.h"

namespace tabinowa::testing {

class FixedRandom final : public Random {
public:
    explicit FixedRandom(std::vector<double> values) : values_(std::move(values)) {}
    double uniform() override {
        if (values_.empty()) return 0.5;
        double v = values_[next_ < values_.size() ? next_ : values_.size() - 1];
        ++next_;
        return v;
    }
    void push(double v) { values_.push_back(v); }
    std::size_t drawn() const { return next_; }

private:
    std::vector<double> values_;
    std::size_t next_ = 0;
};

}  // namespace tabinowa::testing
