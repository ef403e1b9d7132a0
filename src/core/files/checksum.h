// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// FNV-1a, the check value our own files carry (the journal, the memory file,
// the outlines): cheap, and enough to tell a torn or edited file from a whole one.
#include <cstdint>
#include <string_view>

namespace tabinowa {

template <typename Word, Word Basis, Word Prime>
constexpr Word fnv1a(std::string_view bytes) {
    Word h = Basis;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= Prime;
    }
    return h;
}

inline std::uint32_t fnv1a32(std::string_view bytes) {
    return fnv1a<std::uint32_t, 2166136261u, 16777619u>(bytes);
}

inline std::uint64_t fnv1a64(std::string_view bytes) {
    return fnv1a<std::uint64_t, 14695981039346656037ull, 1099511628211ull>(bytes);
}

// The published check value of "a" holds the constants.
static_assert(fnv1a<std::uint32_t, 2166136261u, 16777619u>("a") == 0xe40c292cu);
static_assert(fnv1a<std::uint64_t, 14695981039346656037ull, 1099511628211ull>("a") == 0xaf63dc4c8601ec8cull);

}  // namespace tabinowa
