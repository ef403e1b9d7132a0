// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A memory of every kind of line its text form holds: the retention, two days'
// tallies, a card with every field set under a key of every escaped
// character, and a mastered card. Header only, standard C++.
#include "core/quiz/memory.h"

namespace tabinowa::testing {

inline MemoryBook sampleMemoryBook() {
    MemoryBook b;
    b.retention = 0.85;
    b.days[20000] = {3, 1};
    b.days[20001] = {0, 2};
    Card c;
    c.state = {11.326706579101865, 4.868056502338024};
    c.lastDay = 20001;
    c.dueDay = 20012;
    c.right = 2;
    c.wrong = 1;
    c.lastWrong = true;
    b.cards["a\tb\\c\r\nd"] = c;  // every escaped character
    Card m;
    m.mastered = true;
    m.dueDay = 56500;
    b.cards["問題\n答え"] = m;
    return b;
}

}  // namespace tabinowa::testing
