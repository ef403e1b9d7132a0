#include "core/files/records.h"

#include <cstring>

#include "core/files/cp932.h"
#include "core/files/error.h"

namespace tabinowa {
namespace {

// Little-endian field packing over a byte buffer of fixed size.
class Packer {
public:
    Packer(std::size_t size, std::string_view where) : bytes_(size, '\0'), where_(where) {}
    void i16(std::int16_t v) {
        auto u = static_cast<std::uint16_t>(v);
        put(static_cast<char>(u & 0xFF));
        put(static_cast<char>(u >> 8));
    }
    void i32(std::int32_t v) {
        auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) put(static_cast<char>((u >> (8 * i)) & 0xFF));
    }
    void text(const std::string& utf8, std::size_t width) { fixedFieldInto(utf8, claim(width), width, where_); }
    void raw(const void* p, std::size_t n) {
        putBytes(static_cast<const char*>(p), n);
    }
    void varText(const std::string& utf8) {
        std::string b = toCp932(utf8, where_);
        i16(static_cast<std::int16_t>(b.size()));
        putBytes(b.data(), b.size());
    }
    std::size_t pos() const { return pos_; }
    void seek(std::size_t p) { pos_ = p; }
    std::string take() { return std::move(bytes_); }

private:
    // The next n bytes of the record, to be written; the record ends where it ends.
    char* claim(std::size_t n) {
        if (pos_ > bytes_.size() || n > bytes_.size() - pos_)
            throw FileError(std::string(where_) + "：記録が長すぎます。");
        char* at = bytes_.data() + pos_;
        pos_ += n;
        return at;
    }
    void put(char c) { *claim(1) = c; }
    void putBytes(const char* p, std::size_t n) { std::memcpy(claim(n), p, n); }
    std::string bytes_;
    std::string_view where_;
    std::size_t pos_ = 0;
};

class Unpacker {
public:
    Unpacker(std::string_view bytes, std::string_view where) : bytes_(bytes), where_(where) {}
    std::int16_t i16() {
        need(2);
        auto u = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes_[pos_]) |
                                            (static_cast<unsigned char>(bytes_[pos_ + 1]) << 8));
        pos_ += 2;
        return static_cast<std::int16_t>(u);
    }
    std::int32_t i32() {
        need(4);
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return static_cast<std::int32_t>(u);
    }
    std::string text(std::size_t width) {
        need(width);
        std::string s = fromCp932(bytes_.substr(pos_, width), where_);
        pos_ += width;
        return s;
    }
    std::string rawBytes(std::size_t n) {
        need(n);
        std::string s(bytes_.substr(pos_, n));
        pos_ += n;
        return s;
    }
    std::string varText(std::size_t limitEnd) {
        std::int16_t n = i16();
        if (n < 0 || pos_ + static_cast<std::size_t>(n) > limitEnd)
            throw FileError(std::string(where_) + "：旧市町村の説明の長さが記録に収まりません。");
        return text(static_cast<std::size_t>(n));
    }
    std::size_t pos() const { return pos_; }
    void seek(std::size_t p) { pos_ = p; }

private:
    void need(std::size_t n) const {
        if (pos_ + n > bytes_.size()) throw FileError(std::string(where_) + "：記録が短すぎます。");
    }
    std::string_view bytes_;
    std::string_view where_;
    std::size_t pos_ = 0;
};

}  // namespace

std::string Mondai::encode(std::string_view where) const {
    Packer p(kLength, where);
    p.text(Inyo, 4);
    p.i16(InyoNo);
    for (const auto& s : Sentaku) p.text(s, 250);
    for (auto n : SentakuLen) p.i16(n);
    p.i16(SentakuSu);
    p.i16(KotaeLen);
    p.text(Kotae, 250);
    p.i16(KaisetuLen);
    p.text(Kaisetu, 600);
    for (const auto& s : Bikou) p.text(s, 50);
    p.i16(DoublePoint);
    p.text(Mondai1, 150);
    p.i16(Mondai1Len);
    p.i16(Mondai2Len);
    p.text(Mondai2, 400);
    p.i16(Syokyo);
    return p.take();
}

Mondai Mondai::decode(std::string_view bytes, std::string_view where) {
    Unpacker u(bytes, where);
    Mondai m;
    m.Inyo = u.text(4);
    m.InyoNo = u.i16();
    for (auto& s : m.Sentaku) s = u.text(250);
    for (auto& n : m.SentakuLen) n = u.i16();
    m.SentakuSu = u.i16();
    m.KotaeLen = u.i16();
    m.Kotae = u.text(250);
    m.KaisetuLen = u.i16();
    m.Kaisetu = u.text(600);
    for (auto& s : m.Bikou) s = u.text(50);
    m.DoublePoint = u.i16();
    m.Mondai1 = u.text(150);
    m.Mondai1Len = u.i16();
    m.Mondai2Len = u.i16();
    m.Mondai2 = u.text(400);
    m.Syokyo = u.i16();
    return m;
}

namespace {
std::string firstChars(const std::string& s, int n) { return n <= 0 ? std::string() : leftChars(s, static_cast<std::size_t>(n)); }
}  // namespace

std::string questionText(const Mondai& m) {
    return firstChars(m.Mondai1, m.Mondai1Len) + "\r\n" + "\u3000" + firstChars(m.Mondai2, m.Mondai2Len);
}

std::string sourceLine(const Mondai& m) { return m.Inyo + std::to_string(m.InyoNo); }

std::string shortAnswer(const Mondai& m) { return firstChars(m.Kotae, m.KotaeLen); }

City City::zeroed() {
    City c;
    std::string z20(20, '\0');
    c.KyuName = c.CityName = c.Name2 = c.Name3 = c.Yobi = z20;
    for (auto& s : c.Memo) s = std::string(150, '\0');
    for (auto& s : c.KyuNames) s = z20;
    for (auto& s : c.KyuText) s = std::string(250, '\0');
    return c;
}

std::string City::encode(std::string_view where) const {
    Packer p(kLength, where);
    p.i16(KenNo);
    p.i16(Syubetu);
    p.i16(SubCode);
    p.i16(RecNo);
    p.text(KyuName, 20);
    p.text(CityName, 20);
    p.text(Name2, 20);
    p.text(Name3, 20);
    p.text(Yobi, 20);
    p.i16(X);
    p.i16(Y);
    p.i32(Menseki);
    p.i32(Jinko);
    p.i32(Jigyosyo);
    p.i32(Jugyoin);
    p.i32(Kogyo);
    p.i32(Syogyo);
    p.i16(Extra1);
    p.i16(Extra2);
    for (const auto& s : Memo) p.text(s, 150);
    p.i32(Yobi2);
    p.raw(Yobi3.data(), Yobi3.size());
    for (const auto& s : KyuNames) p.text(s, 20);
    for (auto v : KyuX) p.i16(v);
    for (auto v : KyuY) p.i16(v);
    for (const auto& s : KyuText) p.text(s, 250);
    std::size_t textBytes = 0;
    for (const auto& s : KyuTextLen) textBytes += toCp932(s, where).size();
    if (textBytes > static_cast<std::size_t>(kMaxLenBytes))
        throw FileError(std::string(where) + "：旧市町村の説明の長さ（" + std::to_string(textBytes) +
                        "バイト）が記録に収まりません（最大52バイト）。");
    for (const auto& s : KyuTextLen) p.varText(s);
    p.i16(KyuSu);
    return p.take();
}

City City::decode(std::string_view bytes, std::string_view where) {
    Unpacker u(bytes, where);
    City c;
    c.KenNo = u.i16();
    c.Syubetu = u.i16();
    c.SubCode = u.i16();
    c.RecNo = u.i16();
    c.KyuName = u.text(20);
    c.CityName = u.text(20);
    c.Name2 = u.text(20);
    c.Name3 = u.text(20);
    c.Yobi = u.rawBytes(20);
    c.X = u.i16();
    c.Y = u.i16();
    c.Menseki = u.i32();
    c.Jinko = u.i32();
    c.Jigyosyo = u.i32();
    c.Jugyoin = u.i32();
    c.Kogyo = u.i32();
    c.Syogyo = u.i32();
    c.Extra1 = u.i16();
    c.Extra2 = u.i16();
    for (auto& s : c.Memo) s = u.text(150);
    c.Yobi2 = u.i32();
    std::string y3 = u.rawBytes(4);
    std::memcpy(c.Yobi3.data(), y3.data(), 4);
    for (auto& s : c.KyuNames) s = u.text(20);
    for (auto& v : c.KyuX) v = u.i16();
    for (auto& v : c.KyuY) v = u.i16();
    for (auto& s : c.KyuText) s = u.text(250);
    const std::size_t limit = kLength - 2;  // KyuSu must still fit
    for (auto& s : c.KyuTextLen) s = u.varText(limit);
    c.KyuSu = u.i16();
    if (c.KyuSu < 0 || c.KyuSu > kMaxOld)
        throw FileError(std::string(where) + "：旧市町村の数（" + std::to_string(c.KyuSu) + "）が0～25の範囲にありません。");
    return c;
}

std::string Homon::encode() const {
    Packer p(kLength, "訪問記録");
    p.i16(this->Homon);
    p.i16(HomonRec1);
    p.i16(HomonRec2);
    return p.take();
}

Homon Homon::decode(std::string_view bytes) {
    Unpacker u(bytes, "訪問記録");
    struct Homon h;
    h.Homon = u.i16();
    h.HomonRec1 = u.i16();
    h.HomonRec2 = u.i16();
    return h;
}

}  // namespace tabinowa
