// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/cp932.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>
#include <iconv.h>

#include "core/files/error.h"

namespace tabinowa {
namespace {

// One iconv conversion of a whole text; returns false on an invalid or
// unconvertible sequence.
// The conversion descriptor for one direction, opened once per thread (opening
// costs far more than converting a short field) and reset before each use.
class Descriptor {
public:
    Descriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Descriptor() {
        if (ok()) iconv_close(cd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

iconv_t descriptor(const char* to, const char* /*from*/) {
    thread_local Descriptor toUtf8("UTF-8", "CP932");
    thread_local Descriptor toCp932("CP932", "UTF-8");
    const Descriptor& d = std::string_view(to) == "UTF-8" ? toUtf8 : toCp932;
    return d.ok() ? d.get() : reinterpret_cast<iconv_t>(-1);
}

bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = descriptor(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial state
    out.clear();
    out.resize(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                std::size_t used = out.size() - outLeft;
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            ok = false;
            break;
        }
        if (r > 0) {  // irreversible conversions count as failures: strict
            ok = false;
            break;
        }
    }
    if (ok) {
        // flush shift state (none for these encodings, but be exact)
        if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) ok = false;
    }
    out.resize(out.size() - outLeft);
    return ok;
}

// Eight bytes at a time: the fixed fields of the records are mostly blanks.
bool isAscii(std::string_view s) {
    std::size_t i = 0;
    std::uint64_t any = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        any |= word;
    }
    for (; i < s.size(); ++i) any |= static_cast<unsigned char>(s[i]);
    return (any & 0x8080808080808080ULL) == 0;
}

// CP932 by table, both ways. glibc converts each character in steps through
// its internal form, which made the text fields the largest cost of the
// municipality build. The tables hold iconv's own answers, asked once per
// character when they are made: for every one- and two-byte CP932 code the
// UTF-8 text it decodes to, and for every character of the Basic Multilingual
// Plane that some code decodes to, the bytes iconv writes for it. So a text
// converts to the same bytes either way; whatever the tables do not hold
// (invalid bytes, characters CP932 lacks) is left to iconv.
class Tables {
public:
    Tables() : codes_(0x10000, 0), texts_(0x10000, 0), canonical_(0x10000 / 64, 0) {
        std::string utf8;
        auto learn = [&](std::string_view cp932, std::size_t index) {
            if (!convert("UTF-8", "CP932", cp932, utf8)) return;
            char32_t cp = 0;
            std::size_t used = 0;
            if (!decodeUtf8(utf8, 0, cp, used) || used != utf8.size() || cp < 0x80 || cp > 0xFFFF) return;
            // at most three bytes of UTF-8, packed low byte first, with their count on top
            std::uint32_t packed = static_cast<std::uint32_t>(used) << 24;
            for (std::size_t k = 0; k < used; ++k) packed |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[k])) << (8 * k);
            texts_[index] = packed;
            std::string back;
            if (!convert("CP932", "UTF-8", utf8, back) || back.empty() || back.size() > 2) return;
            const auto b0 = static_cast<unsigned char>(back[0]);
            codes_[cp] = back.size() == 1 ? b0 : static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(back[1]));
        };
        char bytes[2];
        for (int b = 0x80; b <= 0xFF; ++b) {
            bytes[0] = static_cast<char>(b);
            if (!isCp932LeadByte(static_cast<unsigned char>(b))) {
                learn(std::string_view(bytes, 1), static_cast<std::size_t>(b));
                continue;
            }
            for (int t = 0x40; t <= 0xFC; ++t) {
                bytes[1] = static_cast<char>(t);
                learn(std::string_view(bytes, 2), static_cast<std::size_t>(b << 8 | t));
            }
        }
        // A code is canonical when it decodes by table and its character
        // encodes back to the same code (not so for the duplicates of the NEC
        // and IBM rows, which encode to one of them).
        for (std::size_t index = 0x80; index < texts_.size(); ++index) {
            const std::uint32_t packed = texts_[index];
            const std::uint32_t n = packed >> 24;
            if (n == 0) continue;
            char utf8[3];
            for (std::uint32_t k = 0; k < n; ++k) utf8[k] = static_cast<char>(packed >> (8 * k) & 0xFF);
            char32_t cp = 0;
            std::size_t used = 0;
            if (decodeUtf8(std::string_view(utf8, n), 0, cp, used) && codes_[cp] == index)
                canonical_[index / 64] |= std::uint64_t{1} << (index % 64);
        }
    }

    bool canonical(std::string_view s) const {
        const auto* in = reinterpret_cast<const unsigned char*>(s.data());
        const std::size_t n = s.size();
        const std::uint64_t* ok = canonical_.data();
        const auto has = [ok](unsigned code) { return (ok[code / 64] >> (code % 64) & 1) != 0; };
        std::size_t i = 0;
        while (i < n) {
            const unsigned c = in[i];
            if (c < 0x80) {
                ++i;
            } else if (isCp932LeadByte(static_cast<unsigned char>(c))) {
                if (i + 1 >= n || !has(c << 8 | in[i + 1])) return false;
                i += 2;
            } else {
                if (!has(c)) return false;
                ++i;
            }
        }
        return true;
    }

    // False when some code is not in the table (a lone lead byte, a code
    // CP932 leaves unassigned); `out` is then unspecified.
    bool decode(std::string_view s, std::string& out) const {
        const std::uint32_t* texts = texts_.data();
        // a one-byte code takes at most three bytes of UTF-8
        return walk(s, out, 3, [texts](const unsigned char* in, std::size_t n, std::size_t i, char*& o) -> std::size_t {
            const unsigned c = in[i];
            const bool lead = isCp932LeadByte(static_cast<unsigned char>(c));
            if (lead && i + 1 >= n) return 0;
            const std::uint32_t packed = lead ? texts[c << 8 | in[i + 1]] : texts[c];
            const std::uint32_t bytes = packed >> 24;
            if (bytes == 0) return 0;
            for (std::uint32_t k = 0; k < bytes; ++k) *o++ = static_cast<char>(packed >> (8 * k) & 0xFF);
            return lead ? 2 : 1;
        });
    }

    // False when some character is not in the table (or the text is not
    // well-formed UTF-8); `out` is then unspecified.
    bool encode(std::string_view s, std::string& out) const {
        const std::uint16_t* codes = codes_.data();
        // CP932 never takes more bytes than UTF-8 for the same character
        return walk(s, out, 1, [s, codes](const unsigned char* in, std::size_t n, std::size_t i, char*& o) -> std::size_t {
            const unsigned c = in[i];
            char32_t cp = 0;
            std::size_t used = 0;
            if ((c & 0xF0) == 0xE0 && i + 2 < n && (in[i + 1] & 0xC0) == 0x80 && (in[i + 2] & 0xC0) == 0x80) {
                // the three-byte form of nearly every Japanese character
                cp = (c & 0x0F) << 12 | (in[i + 1] & 0x3Fu) << 6 | (in[i + 2] & 0x3Fu);
                if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
                used = 3;
            } else if (!decodeUtf8(s, i, cp, used) || cp > 0xFFFF) {
                return 0;
            }
            const std::uint16_t code = codes[cp];
            if (code == 0) return 0;
            if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
            *o++ = static_cast<char>(code & 0xFF);
            return used;
        });
    }

private:
    // Copies the ASCII bytes of a text and hands every other character to
    // `step`, which writes it at `o` and returns how many bytes of the text it
    // took, or 0 when the table lacks it. `out` starts at `most` bytes per
    // byte of the text and is cut to what was written.
    template <typename Step>
    static bool walk(std::string_view s, std::string& out, std::size_t most, Step step) {
        out.resize(s.size() * most);
        const auto* in = reinterpret_cast<const unsigned char*>(s.data());
        const std::size_t n = s.size();
        char* o = out.data();
        std::size_t i = 0;
        while (i < n) {
            if (in[i] < 0x80) {
                *o++ = static_cast<char>(in[i++]);
                continue;
            }
            const std::size_t used = step(in, n, i, o);
            if (used == 0) return false;
            i += used;
        }
        out.resize(static_cast<std::size_t>(o - out.data()));
        return true;
    }

    // One well-formed UTF-8 character at s[i]: no overlong forms, no
    // surrogates, nothing above U+10FFFF.
    static bool decodeUtf8(std::string_view s, std::size_t i, char32_t& cp, std::size_t& used) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        char32_t min;
        if (c < 0x80) {
            cp = c;
            used = 1;
            return true;
        } else if ((c & 0xE0) == 0xC0) {
            n = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            n = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            n = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        used = n;
        return true;
    }

    std::vector<std::uint16_t> codes_;  // CP932 bytes by code point; 0 = not in the table
    std::vector<std::uint32_t> texts_;  // packed UTF-8 by CP932 code (one byte or lead << 8 | trail); 0 = none
    std::vector<std::uint64_t> canonical_;  // a bit by code: it decodes by table and encodes back to itself
};

// Made on first use (about 20,000 iconv calls, under 2 ms), then shared by
// every thread: they only read it.
const Tables& tables() {
    static const Tables t;
    return t;
}

// UTF-8 to CP932 into `out`: by table, and whatever the table lacks (an
// unencodable character, bytes that are not UTF-8) by iconv, which decides
// exactly as it always did. Throws FileError naming `where`.
void encodeInto(std::string_view utf8, std::string_view where, std::string& out) {
    if (tables().encode(utf8, out)) return;
    if (!convert("CP932", "UTF-8", utf8, out))
        throw FileError(std::string(where) + "に、シフトJISで書けない文字があります。");
}

}  // namespace

bool isCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::optional<std::string> fromCp932ByIconv(std::string_view cp932) {
    std::string out;
    if (!convert("UTF-8", "CP932", cp932, out)) return std::nullopt;
    return out;
}

std::string fromCp932(std::string_view cp932, std::string_view where) {
    if (isAscii(cp932)) return std::string(cp932);
    std::string out;
    if (tables().decode(cp932, out)) return out;
    if (!convert("UTF-8", "CP932", cp932, out))
        throw FileError(std::string(where) + "に、シフトJISとして読めない文字があります。");
    return out;
}

bool isCanonicalCp932(std::string_view cp932) { return tables().canonical(cp932); }

std::optional<std::string> toCp932ByIconv(std::string_view utf8) {
    std::string out;
    if (!convert("CP932", "UTF-8", utf8, out)) return std::nullopt;
    return out;
}

std::string toCp932(std::string_view utf8, std::string_view where) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string out;
    encodeInto(utf8, where, out);
    return out;
}

std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string leftChars(std::string_view s, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80) {
            if (count == n) return std::string(s.substr(0, i));
            ++count;
        }
    }
    return std::string(s);
}

std::string padChars(std::string_view s, std::size_t n) {
    std::string out = leftChars(s, n);
    std::size_t have = charCount(out);
    if (have < n) out.append(n - have, ' ');
    return out;
}

std::string trimRight(std::string_view s) {
    std::size_t end = s.size();
    while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
    return std::string(s.substr(0, end));
}

void fixedFieldInto(std::string_view utf8, char* out, std::size_t width, std::string_view where) {
    std::size_t used;
    if (isAscii(utf8)) {
        used = std::min(utf8.size(), width);
        std::memcpy(out, utf8.data(), used);
    } else {
        // one buffer a thread: the record writers call this for every text field
        thread_local std::string bytes;
        encodeInto(utf8, where, bytes);
        // cut after the last whole character within the width
        used = 0;
        while (used < bytes.size()) {
            const std::size_t len = isCp932LeadByte(static_cast<unsigned char>(bytes[used])) ? 2 : 1;
            if (used + len > width) break;
            used += len;
        }
        std::memcpy(out, bytes.data(), used);
    }
    std::memset(out + used, ' ', width - used);
}

std::string fixedField(std::string_view utf8, std::size_t width, std::string_view where) {
    std::string bytes(width, ' ');
    fixedFieldInto(utf8, bytes.data(), width, where);
    return bytes;
}

}  // namespace tabinowa
