// SPDX-License-Identifier: GPL-3.0-or-later
// The file layer: CP932 at the boundary, the field reader and writer, record
// files, whole-file replacement, and the exact byte layout of every record.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/record_file.h"
#include "core/files/records.h"
#include "core/files/text_file.h"
#include "support/faulty_io.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

std::string le16(int v) {
    auto u = static_cast<std::uint16_t>(v);
    return std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}
std::string le32(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}
std::string sjis(std::string_view utf8) { return toCp932(utf8, "test"); }

// A conversion's text, or nothing where it throws FileError.
std::optional<std::string> orNothing(std::string (*convert)(std::string_view, std::string_view), std::string_view in) {
    try {
        return convert(in, "x");
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace

// ---------------------------------------------------------------- CP932 ----

TEST(Cp932, WindowsMappingsRoundTrip) {
    struct Case {
        const char* utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {"～", "\x81\x60"},        // FULLWIDTH TILDE, not WAVE DASH
        {"－", "\x81\x7C"},        // FULLWIDTH HYPHEN-MINUS
        {"①", "\x87\x40"},        // NEC special
        {"髙", "\xFB\xFC"},        // IBM extension
        {"あA　", "\x82\xA0" "A\x81\x40"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toCp932(c.utf8, "x"), c.bytes) << c.utf8;
        EXPECT_EQ(fromCp932(c.bytes, "x"), c.utf8) << c.utf8;
    }
}

TEST(Cp932, InvalidInputIsAnErrorNamingThePlace) {
    const std::string badBytes[] = {"\x81", "abc\x82", "\x85\x40\xFF"};
    for (const auto& b : badBytes) {
        try {
            fromCp932(b, "ファイル「x.csv」の3行目");
            ADD_FAILURE() << "no error for invalid bytes";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("「x.csv」の3行目"), std::string::npos);
        }
    }
    EXPECT_THROW(toCp932("😀", "x"), FileError);
    EXPECT_THROW(toCp932("한", "x"), FileError);
}

// The table toCp932 writes with must give iconv's bytes for every character,
// and leave every character and malformed text iconv refuses to iconv.
TEST(Cp932, WritingGivesIconvsBytesForEveryCharacter) {
    auto utf8 = [](char32_t cp) {
        std::string s;
        if (cp < 0x800) {
            s += static_cast<char>(0xC0 | cp >> 6);
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | cp >> 12);
            s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | cp >> 18);
            s += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        }
        s += static_cast<char>(0x80 | (cp & 0x3F));
        return s;
    };
    auto viaTable = [](std::string_view text) { return orNothing(toCp932, text); };
    int encodable = 0;
    for (char32_t cp = 0x80; cp <= 0x1FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string text = "a" + utf8(cp) + "あ";
        const auto expected = toCp932ByIconv(text);
        ASSERT_EQ(viaTable(text), expected) << "U+" << std::hex << static_cast<std::uint32_t>(cp);
        if (expected) ++encodable;
    }
    EXPECT_GT(encodable, 7000);  // the JIS and Windows characters, not a handful

    const std::string malformed[] = {"\xC0\xAF", "\xED\xA0\x80", "\xE3\x81", "\x80", "あ\xFF", "\xF4\x90\x80\x80"};
    for (const auto& m : malformed) {
        EXPECT_EQ(toCp932ByIconv(m), std::nullopt);
        EXPECT_THROW(toCp932(m, "x"), FileError);
    }
}

// Likewise reading: every one- and two-byte sequence, valid or not, reads as
// iconv reads it, or is refused as iconv refuses it.
TEST(Cp932, ReadingGivesIconvsTextForEveryCode) {
    auto viaTable = [](std::string_view bytes) { return orNothing(fromCp932, bytes); };
    int readable = 0;
    for (int b = 0x80; b <= 0xFF; ++b) {
        for (int t = 0x00; t <= 0xFF; ++t) {
            const std::string bytes = "a" + std::string{static_cast<char>(b), static_cast<char>(t)} + "\x82\xA0";
            const auto expected = fromCp932ByIconv(bytes);
            ASSERT_EQ(viaTable(bytes), expected) << std::hex << b << " " << t;
            if (expected) ++readable;
        }
        const std::string atEnd = "a" + std::string{static_cast<char>(b)};
        ASSERT_EQ(viaTable(atEnd), fromCp932ByIconv(atEnd)) << std::hex << b << " at the end";
    }
    EXPECT_GT(readable, 7000);
}

// Canonical bytes are exactly those that read and write back to themselves,
// for every one- and two-byte code; so two canonical texts are equal exactly
// when their readings are.
TEST(Cp932, CanonicalBytesAreThoseThatWriteBackToThemselves) {
    int canonical = 0, duplicates = 0;
    for (int b = 0x80; b <= 0xFF; ++b) {
        for (int t = isCp932LeadByte(static_cast<unsigned char>(b)) ? 0x00 : 0x100; t <= 0x100; ++t) {
            std::string bytes = "a" + std::string{static_cast<char>(b)};
            if (t < 0x100) bytes += static_cast<char>(t);
            bytes += "\x82\xA0z";
            const auto text = fromCp932ByIconv(bytes);
            const auto back = text ? toCp932ByIconv(*text) : std::nullopt;
            const bool writesBack = back && *back == bytes;
            ASSERT_EQ(isCanonicalCp932(bytes), writesBack) << std::hex << b << " " << t;
            canonical += writesBack;
            duplicates += text && !writesBack;
        }
    }
    EXPECT_GT(canonical, 7000);
    EXPECT_GT(duplicates, 300);  // the NEC and IBM rows' duplicates
    struct Case { std::string bytes; bool canonical; };
    const Case cases[] = {
        {"", true},
        {"plain ASCII \\ ~", true},
        {"\x81\x79\x93\xC7\x82\xDD\x81\x7A", true},  // 【読み】
        {"\xB1\xB2", true},                             // ｱｲ (half-width)
        {"\x81\xE0", true},                             // ≒ as JIS writes it
        {"\x87\x90", false},                            // ≒ again, from the NEC row
        {"\xED\x40", false},                            // an NEC-selected IBM kanji (IBM's FA5C)
        {"\xFA\x5C", true},
        {"\x82", false},                                 // a lead byte alone
        {"\x81\x7F", false},                            // no such trail byte
        {"\x80", false},
        {"\x82\xA0\n\x82", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isCanonicalCp932(c.bytes), c.canonical) << c.bytes;
}

TEST(Cp932, FixedFieldsPadAndCutAtWholeCharacters) {
    struct Case {
        const char* utf8;
        std::size_t width;
        std::string expected;
    };
    const Case cases[] = {
        {"AB", 4, "AB  "},
        {"AB12", 4, "AB12"},
        {"ABCDE", 4, "ABCD"},
        {"あい", 4, "\x82\xA0\x82\xA2"},
        {"あいう", 5, "\x82\xA0\x82\xA2 "},  // the half character becomes a blank
        {"aあ", 2, "a "},
        {"", 3, "   "},
    };
    for (const auto& c : cases) EXPECT_EQ(fixedField(c.utf8, c.width, "x"), c.expected) << c.utf8;
}

TEST(Cp932, CharacterHelpers) {
    EXPECT_EQ(charCount("あいうabc"), 6u);
    EXPECT_EQ(leftChars("あいうabc", 4), "あいうa");
    EXPECT_EQ(leftChars("ab", 10), "ab");
    EXPECT_EQ(padChars("あ", 3), "あ  ");
    EXPECT_EQ(padChars("あいうえ", 2), "あい");
    EXPECT_EQ(trimRight("ab \t "), "ab");
}

// ---------------------------------------------------------- field reader ----

TEST(FieldReader, FieldsCrossLinesAndExtraFieldsGoToTheNextCall) {
    FieldReader r(sjisLines("1,2\n3,4,5\n6\n"), "t.csv");
    EXPECT_EQ(r.readInt16(), 1);
    EXPECT_EQ(r.readInt16(), 2);
    EXPECT_EQ(r.readInt16(), 3);  // a short line: the call goes on on the next line
    EXPECT_EQ(r.readInt16(), 4);
    EXPECT_EQ(r.readInt16(), 5);
    EXPECT_FALSE(r.atEnd());
    EXPECT_EQ(r.readInt16(), 6);
    EXPECT_TRUE(r.atEnd());
}

TEST(FieldReader, TextFields) {
    struct Case {
        const char* file;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"\"a,b\",c\n", {"a,b", "c"}},                // a quoted comma is part of the text
        {"\"ab\"xyz,1\n", {"ab", "1"}},               // text after a closing quote is skipped
        {"  \"  x \"  ,  y  \n", {"  x ", "y"}},      // blanks before a field skipped; quoted keep all
        {",,\n", {"", "", ""}},                       // empty fields
        {"\"名前\",\"東京都\"\n", {"名前", "東京都"}},
        {"a\n\nb\n", {"a", "", "b"}},                 // an empty line is an empty field
        {"x\ny", {"x", "y"}},                         // no line end after the last field
    };
    for (const auto& c : cases) {
        FieldReader r(sjisLines(c.file), "t.csv");
        for (const auto& t : c.texts) EXPECT_EQ(r.readText(), t) << c.file;
        EXPECT_TRUE(r.atEnd()) << c.file;
    }
}

TEST(FieldReader, IntegerTargets) {
    struct Case {
        const char* field;
        std::int32_t expected;
    };
    const Case cases16[] = {{"", 0},      {"abc", 0},     {"-32768", -32768}, {"32767", 32767},
                            {"2.5", 2},   {"3.5", 4},     {"-2.5", -2},       {" 7 ", 7},
                            {"\"12\"", 12}, {"1e3", 1000}};
    for (const auto& c : cases16) {
        FieldReader r(sjisLines(std::string(c.field) + "\n"), "t.csv");
        EXPECT_EQ(r.readInt16(), c.expected) << c.field;
    }
    for (const char* bad : {"32768", "-32769", "99999999"}) {
        FieldReader r(sjisLines(std::string(bad) + "\n"), "t.csv");
        EXPECT_THROW(r.readInt16(), FileError) << bad;
    }
    FieldReader big(sjisLines("2147483647,2147483648\n"), "t.csv");
    EXPECT_EQ(big.readInt32(), 2147483647);
    EXPECT_THROW(big.readInt32(), FileError);
}

TEST(FieldReader, UntypedTargetsKeepWhatTheFieldWas) {
    FieldReader r(sjisLines("\"12\",12,abc,,-3.5\n"), "t.csv");
    Value quoted = r.readValue(), number = r.readValue(), text = r.readValue(), empty = r.readValue(),
          negative = r.readValue();
    EXPECT_TRUE(quoted.isText());
    EXPECT_EQ(quoted.asText(), "12");
    EXPECT_TRUE(number.isNumber());
    EXPECT_EQ(*number.asNumber(), 12);
    EXPECT_TRUE(text.isText());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty, Value::number(0));
    EXPECT_EQ(empty, Value::text(""));
    EXPECT_NE(number, Value::text("12"));
    EXPECT_EQ(*negative.asNumber(), -3.5);
}

TEST(FieldReader, EndOfFileInsideACallIsAnErrorNamingTheLine) {
    // A file ending with an empty line: the loop runs once more and fails.
    FieldReader r(sjisLines("1,2,3\n\n"), "範囲.csv");
    for (int i = 0; i < 3; ++i) r.readValue();
    ASSERT_FALSE(r.atEnd());
    r.readValue();
    try {
        r.readValue();
        ADD_FAILURE() << "no error at the end of the file";
    } catch (const FileError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("範囲.csv"), std::string::npos);
        EXPECT_NE(msg.find("行目"), std::string::npos);
    }
}

TEST(FieldReader, BadInputIsAnError) {
    {
        FieldReader r("\"never closed,1\r\n", "t.csv");
        EXPECT_THROW(r.readText(), FileError);
    }
    {
        FieldReader r("ok\r\n\"\x81\"\r\n", "t.csv");
        EXPECT_EQ(r.readText(), "ok");
        try {
            r.readText();
            ADD_FAILURE();
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("2行目"), std::string::npos);
        }
    }
}

// ---------------------------------------------------------- field writer ----

TEST(FieldReader, TheLookAheadAgreesWithReadingFieldByField) {
    // Raw bytes: blanks, quoted line ends, CR alone, LF alone, bytes after a
    // closing quote, empty lines, an unclosed quote at the end.
    const std::string files[] = {
        "",
        "1,2\r\n3,4,5\r\n6\r\n",
        "a,\"b\nc\",d\r\n\"e\"x,f\rg\nh",
        "  \"x\"  , y ,\r\n\r\n\r\n,,\n",
        "1,\"two\r\nlines\",3\r\n\"never closed,4\r\n5\r\n",
        "\"\"\"\",\"\",\n",
        "last,without,end",
    };
    for (const auto& bytes : files) {
        SCOPED_TRACE(bytes);
        for (std::size_t skip = 0; skip <= 3; ++skip) {
            FieldReader reader(bytes, "t.csv");
            std::size_t skipped = 0;
            for (; skipped < skip && !reader.atEnd(); ++skipped) reader.readValue();
            // Read a copy field by field; the look ahead must name the same lines.
            for (std::size_t n = 1; n <= 14; ++n) {
                FieldReader copy = reader;
                std::optional<int> line;
                std::size_t i = 0;
                try {
                    for (; i < n && !copy.atEnd(); ++i) copy.readValue();
                    if (i == n) line = copy.lastLine();
                } catch (const FileError&) {
                    // An unclosed quote ends the fields; the one it opens still begins.
                    if (i + 1 == n) line = copy.lastLine();
                }
                EXPECT_EQ(reader.lineOfFieldAhead(n), line) << "skip " << skipped << ", field " << n;
            }
            EXPECT_EQ(reader.lineOfFieldAhead(0), std::nullopt);
        }
    }
}

TEST(TextWriter, FieldsAndNumbersAreWrittenExactly) {
    TextWriter w("t.csv");
    w.writeFields({Value::number(3), Value::text("北海道"), Value::number(0)});
    w.writeFields({Value(), Value::number(-12), Value::text("")});
    w.printNumber(1500);
    w.printNumber(-5);
    w.printNumber(0);
    EXPECT_EQ(w.bytes(), "3,\"" + sjis("北海道") + "\",0\r\n,-12,\"\"\r\n 1500\r\n-5\r\n 0\r\n");
}

TEST(TextWriter, ATextWithADoubleQuoteIsRefused) {
    TextWriter w("t.csv");
    EXPECT_THROW(w.writeFields({Value::text("a\"b")}), FileError);
}

TEST(TextWriter, WhatIsWrittenReadsBackTheSame) {
    TextWriter w("t.csv");
    std::vector<Value> row{Value::number(13), Value::number(0), Value::text("東京都"), Value::number(640),
                           Value::number(701), Value::number(12)};
    w.writeFields(row);
    FieldReader r(w.bytes(), "t.csv");
    EXPECT_EQ(r.readValues(6), row);
    EXPECT_TRUE(r.atEnd());
}

// ---------------------------------------------------------- record files ----

TEST(RecordFile, GetPutCountAndZerosBeyondTheEnd) {
    TempProgramFolder tmp;
    PosixIo io;
    auto path = tmp.path() / "r.ran";
    {
        RecordFile f(io, path, 6);  // a missing file is created empty
        EXPECT_EQ(f.count(), 0);
        EXPECT_EQ(f.get(1), std::string(6, '\0'));
        f.put(3, "abcdef");  // the gap reads as zero bytes
        EXPECT_EQ(f.count(), 3);
        EXPECT_EQ(f.get(1), std::string(6, '\0'));
        EXPECT_EQ(f.get(3), "abcdef");
        f.put(1, "xy");  // a short record fills the start of its slot
        EXPECT_EQ(f.get(1), std::string("xy") + std::string(4, '\0'));
        EXPECT_THROW(f.put(2, "1234567"), FileError);
    }
    // A partial record at the end is not a record.
    writeBytes(path, readBytes(path) + "abc");
    RecordFile f(io, path, 6);
    EXPECT_EQ(f.count(), 3);
    EXPECT_EQ(f.get(4), std::string(6, '\0'));
}

TEST(RecordFile, AMissingFolderIsAJapaneseError) {
    TempProgramFolder tmp;
    PosixIo io;
    try {
        RecordFile f(io, tmp.path() / "nofolder" / "x.ran", 6);
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("フォルダ「nofolder」がありません"), std::string::npos);
    }
}

// ------------------------------------------------- whole-file replacement ----

TEST(AtomicWrite, EveryFailurePointLeavesTheOldFileWhole) {
    TempProgramFolder tmp;
    auto path = tmp.path() / "point.csv";
    const std::string before = " 100\r\n", after = " 2500\r\n";
    FaultyIo counter;
    writeBytes(path, before);
    writeFileAtomic(counter, path, after);
    ASSERT_GT(counter.points(), 2);
    for (int k = 1; k <= counter.points(); ++k) {
        writeBytes(path, before);
        FaultyIo io(k);
        try {
            writeFileAtomic(io, path, after);
        } catch (const FileError&) {
        }
        const std::string now = readBytes(path);
        EXPECT_TRUE(now == before || now == after) << "torn at point " << k;
        std::size_t files = 0;
        for (auto& e : std::filesystem::directory_iterator(tmp.path())) files += e.is_regular_file();
        EXPECT_EQ(files, 1u) << "temporary file left at point " << k;
    }
}

TEST(AtomicWrite, AFileSetIsAllOrNothing) {
    TempProgramFolder tmp;
    auto a = tmp.path() / "a", b = tmp.path() / "b", c = tmp.path() / "c";
    auto run = [&](Io& io) {
        FileSet set(io, tmp.path() / "journal");
        set.stage(a, "A2");
        set.stage(b, "B2");
        set.stage(c, "C2");  // c does not exist before
        set.commit();
    };
    FaultyIo counter;
    writeBytes(a, "A1");
    writeBytes(b, "B1");
    run(counter);
    for (int k = 1; k <= counter.points(); ++k) {
        writeBytes(a, "A1");
        writeBytes(b, "B1");
        std::filesystem::remove(c);
        FaultyIo io(k);
        bool threw = false;
        try {
            run(io);
        } catch (const FileError&) {
            threw = true;
        }
        if (threw) {
            EXPECT_EQ(readBytes(a), "A1") << k;
            EXPECT_EQ(readBytes(b), "B1") << k;
            EXPECT_FALSE(std::filesystem::exists(c)) << k;
        } else {
            EXPECT_EQ(readBytes(a), "A2") << k;
            EXPECT_EQ(readBytes(c), "C2") << k;
        }
        std::size_t files = 0;
        for (auto& e : std::filesystem::directory_iterator(tmp.path())) files += e.is_regular_file();
        EXPECT_EQ(files, threw ? 2u : 3u) << "stray files at point " << k;
    }
}

TEST(ReadWholeFile, MissingFileAndFolderAreNamed) {
    TempProgramFolder tmp;
    PosixIo io;
    struct Case {
        std::filesystem::path path;
        const char* expected;
    };
    const Case cases[] = {{tmp.path() / "none.csv", "ファイル「none.csv」がありません"},
                          {tmp.path() / "dir" / "none.csv", "フォルダ「dir」がありません"}};
    for (const auto& c : cases) {
        try {
            readWholeFile(io, c.path);
            ADD_FAILURE();
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

// ---------------------------------------------------------- record layouts ----

TEST(MondaiLayout, EveryFieldAtItsOffset) {
    Mondai m;
    m.Inyo = "AB";
    m.InyoNo = 7;
    m.Sentaku = {"c1", "c2", "c3", "c4"};
    m.SentakuLen = {11, 12, 13, 14};
    m.SentakuSu = 4;
    m.KotaeLen = 15;
    m.Kotae = "kotae";
    m.KaisetuLen = 16;
    m.Kaisetu = "kaisetu";
    m.Bikou = {"b1", "b2", "b3"};
    m.DoublePoint = 1;
    m.Mondai1 = "m1";
    m.Mondai1Len = 17;
    m.Mondai2Len = 450;
    m.Mondai2 = "m2";
    m.Syokyo = 1;
    const std::string b = m.encode("t");
    ASSERT_EQ(b.size(), 2578u);
    struct Field {
        std::size_t offset;
        std::string bytes;
    };
    const Field fields[] = {
        {0, "AB  "},       {4, le16(7)},      {6, "c1 "},        {256, "c2 "},      {506, "c3 "},
        {756, "c4 "},      {1006, le16(11)},  {1008, le16(12)},  {1010, le16(13)},  {1012, le16(14)},
        {1014, le16(4)},   {1016, le16(15)},  {1018, "kotae "},  {1268, le16(16)},  {1270, "kaisetu "},
        {1870, "b1 "},     {1920, "b2 "},     {1970, "b3 "},     {2020, le16(1)},   {2022, "m1 "},
        {2172, le16(17)},  {2174, le16(450)}, {2176, "m2 "},     {2576, le16(1)},
    };
    for (const auto& f : fields) EXPECT_EQ(b.substr(f.offset, f.bytes.size()), f.bytes) << "offset " << f.offset;
    EXPECT_EQ(b.substr(2571, 5), "     ");  // Mondai2 padded to its end
    Mondai back = Mondai::decode(b, "t");
    EXPECT_EQ(back.encode("t"), b);
    EXPECT_EQ(back.Inyo, "AB  ");
    EXPECT_EQ(back.Mondai2Len, 450);
}

TEST(MondaiLayout, DisplayForms) {
    Mondai m;
    m.Inyo = "AB";
    m.InyoNo = 7;
    m.Mondai1 = "【読み】";
    m.Mondai1Len = 4;
    m.Mondai2 = "札幌市の読みは？";
    m.Mondai2Len = 8;
    m.Kotae = "さっぽろし";
    m.KotaeLen = 5;
    Mondai stored = Mondai::decode(m.encode("t"), "t");
    EXPECT_EQ(sourceLine(stored), "AB  7");
    EXPECT_EQ(questionText(stored), "【読み】\r\n\u3000札幌市の読みは？");
    EXPECT_EQ(shortAnswer(stored), "さっぽろし");
    stored.InyoNo = -3;
    EXPECT_EQ(sourceLine(stored), "AB  -3");
    // A length beyond what the field holds takes the whole field, blanks included.
    stored.Mondai2Len = 450;
    EXPECT_EQ(charCount(questionText(stored)), 4u + 2u + 1u + (8u + (400u - 16u)));
}

TEST(CityLayout, FixedOffsetsAndTheMovingKyuSu) {
    City c = City::zeroed();
    c.KenNo = 1;
    c.Syubetu = 2;
    c.SubCode = 202;
    c.RecNo = 9;
    c.KyuName = "";
    c.CityName = "函館市";
    c.Name2 = "はこだてし";
    c.Name3 = "";
    c.X = 1234;
    c.Y = -5;
    c.Menseki = 678;
    c.Jinko = 251084;
    c.Jigyosyo = 11;
    c.Jugyoin = 12;
    c.Kogyo = 13;
    c.Syogyo = 14;
    c.Extra1 = 15;
    c.Extra2 = 16;
    for (auto& m : c.Memo) m = "";
    c.Memo[4] = "memo5";
    c.KyuNames[1] = "戸井町";
    c.KyuX[1] = 100;
    c.KyuY[25] = 200;
    c.KyuText[1] = "とい";
    c.KyuTextLen[1] = "5";
    c.KyuTextLen[2] = "12";
    c.KyuTextLen[3] = "150";
    c.KyuSu = 3;
    const std::string b = c.encode("t");
    ASSERT_EQ(b.size(), 8128u);
    struct Field {
        std::size_t offset;
        std::string bytes;
    };
    const Field fields[] = {
        {0, le16(1)},          {2, le16(2)},           {4, le16(202)},         {6, le16(9)},
        {8, std::string(20, ' ')}, {28, sjis("函館市") + "      "}, {48, sjis("はこだてし")},
        {88, std::string(20, '\0')},  // Yobi: never set
        {108, le16(1234)},     {110, le16(-5)},        {112, le32(678)},       {116, le32(251084)},
        {120, le32(11)},       {124, le32(12)},        {128, le32(13)},        {132, le32(14)},
        {136, le16(15)},       {138, le16(16)},        {140, std::string(150, ' ')},
        {740, "memo5 "},       {890, le32(0)},         {894, std::string(4, '\0')},
        {898, std::string(20, '\0')},  // slot 0 never set
        {918, sjis("戸井町") + " "},   {1418 + 2, le16(100)}, {1470 + 50, le16(200)},
        {1522 + 250, sjis("とい") + " "},
        {8022, le16(0)},       {8024, le16(1) + "5" + le16(2) + "12" + le16(3) + "150" + le16(0)},
        {8080, le16(3)},       // KyuSu at 8074 + T, T = 1 + 2 + 3
    };
    for (const auto& f : fields) EXPECT_EQ(b.substr(f.offset, f.bytes.size()), f.bytes) << "offset " << f.offset;
    City back = City::decode(b, "t");
    EXPECT_EQ(back.KyuSu, 3);
    EXPECT_EQ(back.KyuTextLen[3], "150");
    EXPECT_EQ(back.encode("t"), b);
}

TEST(CityLayout, LimitsAreErrorsNotOverflows) {
    City c = City::zeroed();
    for (int k = 1; k <= 18; ++k) c.KyuTextLen[static_cast<std::size_t>(k)] = "100";  // 54 bytes
    EXPECT_THROW(c.encode("t"), FileError);
    // A record whose KyuSu lies outside 0..25 or whose lengths run past the record.
    City ok = City::zeroed();
    ok.KyuSu = 1;
    std::string b = ok.encode("t");
    std::string badCount = b;
    badCount.replace(8074, 2, le16(26));
    EXPECT_THROW(City::decode(badCount, "t"), FileError);
    std::string badLen = b;
    badLen.replace(8022, 2, le16(200));
    EXPECT_THROW(City::decode(badLen, "t"), FileError);
    EXPECT_THROW(City::decode(b.substr(0, 100), "t"), FileError);
}

TEST(HomonLayout, SixBytes) {
    Homon h;
    h.Homon = 1;
    h.HomonRec1 = 12;
    h.HomonRec2 = 12;
    EXPECT_EQ(h.encode(), le16(1) + le16(12) + le16(12));
    Homon back = Homon::decode(le16(0) + le16(300) + le16(-1));
    EXPECT_EQ(back.HomonRec1, 300);
    EXPECT_EQ(back.HomonRec2, -1);
}
