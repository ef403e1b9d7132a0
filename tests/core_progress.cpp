// SPDX-License-Identifier: GPL-3.0-or-later
// Completion in steps: the first find shows, all only when all are found.
#include <gtest/gtest.h>

#include "core/map/progress_scale.h"

using namespace tabinowa;

TEST(ProgressScale, StepsFromTheFirstFindToAll) {
    struct Case { long long done, total; int step; const char* text; };
    const Case cases[] = {
        {0, 26, 0, "0％（0／26）"},          {1, 26, 1, "3％（1／26）"},
        {1, 2000, 1, "1％（1／2000）"},      {6, 26, 1, "23％（6／26）"},
        {1, 4, 2, "25％（1／4）"},            {12, 26, 2, "46％（12／26）"},
        {13, 26, 3, "50％（13／26）"},        {3, 4, 4, "75％（3／4）"},
        {1999, 2000, 4, "99％（1999／2000）"}, {26, 26, 5, "100％（26／26）"},
        {30, 26, 5, "100％（30／26）"},       {0, 0, 0, "0％（0／0）"},
        {-1, 5, 0, "0％（0／5）"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(progressStep(c.done, c.total), c.step) << c.done << "/" << c.total;
        EXPECT_EQ(progressText(c.done, c.total), c.text);
    }
    EXPECT_EQ(progressStepNames()[1], "1～24％");
    EXPECT_EQ(progressStepNames()[5], "100％");
}
