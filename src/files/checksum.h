#pragma once
// FNV-1a, the check value our own files carry (the journal, the memory file,
// the outlines): cheap, and enough to tell a torn or edited file from a whole one.
#include <cstdint>
#include <string_view>

namespace tabinowa {

inline std::uint32_t fnv1a32(std::string_view bytes) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

inline std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace tabinowa
