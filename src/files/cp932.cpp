#include "files/cp932.h"

#include <cerrno>
#include <iconv.h>

#include "files/error.h"

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

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

bool isCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::string fromCp932(std::string_view cp932, std::string_view where) {
    if (isAscii(cp932)) return std::string(cp932);
    std::string out;
    if (!convert("UTF-8", "CP932", cp932, out))
        throw FileError(std::string(where) + "に、シフトJISとして読めない文字があります。");
    return out;
}

std::string toCp932(std::string_view utf8, std::string_view where) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string out;
    if (!convert("CP932", "UTF-8", utf8, out))
        throw FileError(std::string(where) + "に、シフトJISで書けない文字があります。");
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

std::string fixedField(std::string_view utf8, std::size_t width, std::string_view where) {
    std::string bytes = toCp932(utf8, where);
    if (bytes.size() > width) {
        // cut after the last whole character within the width
        std::size_t i = 0;
        while (i < bytes.size()) {
            std::size_t len = isCp932LeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
            if (i + len > width) break;
            i += len;
        }
        bytes.resize(i);
    }
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}

}  // namespace tabinowa
