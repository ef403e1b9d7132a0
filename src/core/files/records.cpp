// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/records.h"

#include <cstring>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/record_views.h"

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

}  // namespace

std::string Mondai::encode(std::string_view where) const {
    Packer p(kLength, where);
    p.text(Inyo, 4);
    p.i16(InyoNo);
    for (const auto& s : Sentaku) p.text(s, 250);
    for (auto n : SentakuLen) p.i16(n);
    p.i16(SentakuSu);
    p.i16(KotaeLen);
    p.seek(mondai::Kotae.offset);
    p.text(Kotae, 250);
    p.i16(KaisetuLen);
    p.seek(mondai::Kaisetu.offset);
    p.text(Kaisetu, 600);
    for (const auto& s : Bikou) p.text(s, 50);
    p.i16(DoublePoint);
    p.seek(mondai::Mondai1.offset);
    p.text(Mondai1, 150);
    p.i16(Mondai1Len);
    p.i16(Mondai2Len);
    p.seek(mondai::Mondai2.offset);
    p.text(Mondai2, 400);
    p.seek(mondai::Syokyo.offset);
    p.i16(Syokyo);
    return p.take();
}

Mondai Mondai::decode(std::string_view bytes, std::string_view where) {
    namespace L = mondai;
    if (bytes.size() < L::kLength) throw FileError(std::string(where) + "：記録が短すぎます。");
    const MondaiView v(bytes);
    if (const std::string damage = mondaiDamage(bytes); !damage.empty())
        throw FileError(std::string(where) + "が壊れています（" + damage + "）。");
    auto text = [&](FieldAt f) {
        if (looksLikeUtf8(v.bytes(f)))
            throw FileError(std::string(where) + "に、シフトJISではなくUTF-8で書かれた文字があります（別のプログラムで書かれたものです）。");
        return fromCp932(v.bytes(f), where);
    };
    auto i16 = [&](std::size_t at) { return readLe16(bytes, at); };
    Mondai m;
    m.Inyo = text(L::Inyo);
    m.InyoNo = v.inyoNo();
    for (std::size_t i = 0; i < 4; ++i) {
        m.Sentaku[i] = text({L::kSentakuAt + L::kSentakuWidth * i, L::kSentakuWidth});
        m.SentakuLen[i] = i16(L::kSentakuLenAt + 2 * i);
    }
    m.SentakuSu = i16(L::SentakuSu.offset);
    m.KotaeLen = i16(L::KotaeLen.offset);
    m.Kotae = text(L::Kotae);
    m.KaisetuLen = i16(L::KaisetuLen.offset);
    m.Kaisetu = text(L::Kaisetu);
    for (std::size_t i = 0; i < 3; ++i)
        m.Bikou[i] = text({mondai::kBikouAt + mondai::kBikouWidth * i, mondai::kBikouWidth});
    m.DoublePoint = i16(L::DoublePoint.offset);
    m.Mondai1 = text(L::Mondai1);
    m.Mondai1Len = i16(L::Mondai1Len.offset);
    m.Mondai2Len = i16(L::Mondai2Len.offset);
    m.Mondai2 = text(L::Mondai2);
    m.Syokyo = i16(L::Syokyo.offset);
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
    p.seek(city::kKyuNamesAt);
    for (const auto& s : KyuNames) p.text(s, 20);
    for (auto v : KyuX) p.i16(v);
    for (auto v : KyuY) p.i16(v);
    p.seek(city::kKyuTextAt);
    for (const auto& s : KyuText) p.text(s, 250);
    p.seek(city::kKyuTextLenAt);
    std::size_t textBytes = 0;
    for (const auto& s : KyuTextLen) textBytes += toCp932(s, where).size();
    if (textBytes > static_cast<std::size_t>(kMaxLenBytes))
        throw FileError(std::string(where) + "：旧市町村の説明の長さ（" + std::to_string(textBytes) +
                        "バイト）が記録に収まりません（最大52バイト）。");
    for (const auto& s : KyuTextLen) p.varText(s);
    p.i16(KyuSu);
    return p.take();
}

City City::decode(std::string_view bytes, std::string_view where, CityFields fields, Descriptions descriptions) {
    namespace L = city;
    const CityView v(bytes, where);
    City c;
    c.KenNo = v.i16(L::KenNo);
    c.RecNo = v.i16(L::RecNo);
    c.CityName = v.cityName();
    std::int32_t* stats[] = {&c.Menseki, &c.Jinko, &c.Jigyosyo, &c.Jugyoin, &c.Kogyo, &c.Syogyo};
    for (std::size_t i = 0; i < 6; ++i) *stats[i] = v.figure(i);
    const CityLengths lengths = v.lengths();
    c.KyuSu = lengths.kyuSu;
    c.Name2 = v.text(L::Name2);  // the reading: the lists' paper key prints it
    const bool whole = fields == CityFields::Whole;
    // The lists read slots 1..KyuSu; the whole record has every slot.
    const std::size_t last = whole ? L::kSlots - 1 : static_cast<std::size_t>(c.KyuSu);
    for (std::size_t k = whole ? 0 : 1; k <= last; ++k) {
        c.KyuNames[k] = v.kyuName(k);
        c.KyuX[k] = v.kyuX(k);
        c.KyuY[k] = v.kyuY(k);
        if (whole || descriptions == Descriptions::Read) c.KyuText[k] = v.kyuText(k);
        c.KyuTextLen[k] = v.text(lengths.at[k], lengths.bytes[k]);
    }
    if (!whole) return c;
    c.Syubetu = v.i16(L::Syubetu);
    c.SubCode = v.i16(L::SubCode);
    c.KyuName = v.text(L::KyuName);
    c.Name3 = v.text(L::Name3);
    c.Yobi = std::string(v.raw(L::Yobi.offset, L::Yobi.width));
    c.X = v.i16(L::X);
    c.Y = v.i16(L::Y);
    c.Extra1 = v.i16(L::Extra1);
    c.Extra2 = v.i16(L::Extra2);
    for (std::size_t i = 0; i < c.Memo.size(); ++i) c.Memo[i] = v.text(L::kMemoAt + L::kMemoWidth * i, L::kMemoWidth);
    c.Yobi2 = v.i32At(L::Yobi2.offset);
    const std::string_view y3 = v.raw(L::Yobi3.offset, L::Yobi3.width);
    std::memcpy(c.Yobi3.data(), y3.data(), 4);
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
    if (bytes.size() < homon::kLength) throw FileError("訪問記録：記録が短すぎます。");
    struct Homon h;
    h.Homon = HomonView(bytes).flag();
    h.HomonRec1 = readLe16(bytes, homon::HomonRec1.offset);
    h.HomonRec2 = readLe16(bytes, homon::HomonRec2.offset);
    return h;
}

}  // namespace tabinowa
