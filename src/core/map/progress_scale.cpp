// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/map/progress_scale.h"

namespace tabinowa {

namespace {
long long percentOf(long long done, long long total) {
    if (total <= 0 || done <= 0) return 0;
    if (done >= total) return 100;
    const long long p = done * 100 / total;
    return p < 1 ? 1 : (p > 99 ? 99 : p);
}
}  // namespace

int progressStep(long long done, long long total) {
    const long long p = percentOf(done, total);
    if (p <= 0) return 0;
    if (p >= 100) return 5;
    return 1 + static_cast<int>(p / 25);
}

const std::array<std::string, 6>& progressStepNames() {
    static const std::array<std::string, 6> names = {"0％", "1～24％", "25～49％", "50～74％", "75～99％", "100％"};
    return names;
}

std::string progressText(long long done, long long total) {
    return std::to_string(percentOf(done, total)) + "％（" + std::to_string(done < 0 ? 0 : done) + "／" +
           std::to_string(total < 0 ? 0 : total) + "）";
}

}  // namespace tabinowa
