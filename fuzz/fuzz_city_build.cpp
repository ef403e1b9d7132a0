// SPDX-License-Identifier: GPL-3.0-or-later
// The municipality build over any masters, in an in-memory program folder
// that already holds the outputs of an earlier build (with a visit made).
// The input up to its first NUL byte is "市町村.csv", the rest
// "都道府県データ.csv"; an input without NUL is the master alone, beside a
// well-formed prefecture file of 47 lines.
//
// Either the build fails with FileError and every file is exactly as before,
// or it succeeds and: every record of "市町村.ran" decodes with its own
// number and 1 to 25 old municipalities; "訪問消去.ran" holds (0, n, n) for
// every record n; "県範囲.csv" reads back as unbroken runs of one prefecture
// each, from record 1 to the last, every visited count 0; the test list reads
// back as one line per record; and no temporary file is left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/build/builds.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/error.h"
#include "core/files/folders.h"
#include "core/files/prefectures.h"
#include "core/files/records.h"
#include "core/files/text_file.h"
#include "support/memory_io.h"

using namespace tabinowa;
using tabinowa::testing::MemoryIo;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_city_build: %s\n", what);
    std::abort();
}

std::string defaultPrefectureData() {
    std::string text;
    for (int i = 1; i <= 47; ++i)
        text += std::to_string(i) + ",\"pref" + std::to_string(i) + "\",1,1,\"city\",100,10,1\r\n";
    return text;
}

// What an earlier build and one visit left: two records, the first visited.
struct OldOutputs {
    std::string records, marks, ranges, testList;
};
OldOutputs oldOutputs() {
    OldOutputs o;
    City c = City::zeroed();
    c.KenNo = 1;
    c.CityName = "旧市";
    c.KyuSu = 1;
    c.KyuNames[1] = "旧市";
    c.KyuTextLen[1] = "0";
    for (std::int16_t n = 1; n <= 2; ++n) {
        c.RecNo = n;
        o.records += c.encode("fuzz");
        Homon h;
        h.Homon = n == 1 ? 1 : 0;
        h.HomonRec1 = h.HomonRec2 = n;
        o.marks += h.encode();
    }
    o.ranges = "1,0,\"pref1\",1,2,1\r\n";
    o.testList = "\"old                 \",0,1,0,0\r\n\"old                 \",0,1,0,0\r\n";
    return o;
}

int number(const Value& v) {
    auto n = v.asNumber();
    if (!v.isNumber() || !n) fail("a number in the range file did not read back as a number");
    return static_cast<int>(*n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string prefectureDefault = defaultPrefectureData();
    static const OldOutputs old = oldOutputs();

    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(bytes, '\0', size);
    std::string master, prefectures;
    if (nul) {
        const std::size_t cut = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
        master.assign(bytes, cut);
        prefectures.assign(bytes + cut + 1, size - cut - 1);
    } else {
        master.assign(bytes, size);
        prefectures = prefectureDefault;
    }

    // One program folder and Session for all runs (a Session is costly to make):
    // every file is put back below, and the checks use no state of earlier runs.
    static MemoryIo io;
    static const AppFolders folders{"/p"};
    static MtRandom random(1);
    static Session session = [] {
        for (const auto& f : {folders.program, folders.data(), folders.map(), folders.work()}) io.addFolder(f);
        return Session(folders.program, io, random);
    }();
    io.setFile(folders.cityMaster(), std::move(master));
    io.setFile(folders.prefectureData(), std::move(prefectures));
    io.setFile(folders.cityRecords(), old.records);
    io.setFile(folders.visitMarks(), old.marks);
    io.setFile(folders.rangeFile(), old.ranges);
    io.setFile(folders.cityTestList(), old.testList);
    const std::map<std::filesystem::path, std::string> before = io.files();

    std::string message;
    try {
        // A master far smaller than the files it replaces asks first: the
        // answer alternates, so both the refusal and the build are tried.
        message = buildCityFiles(session, [](const std::string&) {
            static bool yes = false;
            return yes = !yes;
        });
        if (message == kBuildDeclined) {
            if (io.files() != before) fail("a declined build changed the files");
            return 0;
        }
    } catch (const FileError&) {
        if (io.files() != before) fail("a failed build changed the files");
        return 0;
    }

    const auto& files = io.files();
    if (files.size() != before.size()) fail("files left behind or missing after the build");
    for (const auto& [path, content] : before)
        if (!files.count(path)) fail("a file went missing");
    if (files.at(folders.cityMaster()) != before.at(folders.cityMaster()) ||
        files.at(folders.prefectureData()) != before.at(folders.prefectureData()))
        fail("a master was changed");

    // 市町村.ran: whole records, each decoding with its own number.
    const std::string& records = files.at(folders.cityRecords());
    if (records.size() % City::kLength != 0) fail("the municipality file ends in a partial record");
    const int n = static_cast<int>(records.size() / City::kLength);
    std::vector<std::int16_t> kenOf(static_cast<std::size_t>(n) + 1, 0), kyuSuOf(kenOf);
    for (int k = 1; k <= n; ++k) {
        City c;
        try {
            c = City::decode(std::string_view(records).substr(static_cast<std::size_t>(k - 1) * City::kLength,
                                                              City::kLength),
                             "fuzz");
        } catch (const FileError&) {
            fail("a built municipality record does not decode");
        }
        if (c.RecNo != k) fail("RecNo is not the record's number");
        if (c.KyuSu < 1 || c.KyuSu > City::kMaxOld) fail("KyuSu outside 1..25");
        kenOf[static_cast<std::size_t>(k)] = c.KenNo;
        kyuSuOf[static_cast<std::size_t>(k)] = c.KyuSu;
    }
    if (message != "終了　" + std::to_string(n)) fail("wrong result text");

    // 訪問消去.ran: (0, k, k) for every record k.
    const std::string& marks = files.at(folders.visitMarks());
    if (marks.size() != static_cast<std::size_t>(n) * Homon::kLength) fail("visit marks do not match the records");
    for (int k = 1; k <= n; ++k) {
        Homon h = Homon::decode(std::string_view(marks).substr(static_cast<std::size_t>(k - 1) * Homon::kLength));
        if (h.Homon != 0 || h.HomonRec1 != k || h.HomonRec2 != k) fail("a visit mark is not (0, n, n)");
    }

    // 県範囲.csv: unbroken runs covering 1..n, one prefecture each.
    std::vector<KenHani> table;
    try {
        table = readRanges(io, folders);
    } catch (const FileError&) {
        fail("the built range file does not read back");
    }
    if ((n == 0) != table.empty()) fail("range lines without records, or records without range lines");
    int next = 1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const KenHani& row = table[i];
        if (number(row.KenNo) != static_cast<int>(i + 1) || number(row.Yobi0) != 0 || number(row.HomonSu) != 0)
            fail("a range line has a wrong number, spare or visited count");
        if (!row.KenName.isText() && !row.KenName.isEmpty()) fail("a prefecture name did not read back as text");
        const int start = number(row.StartRec), end = number(row.EndRec);
        if (start != next || end < start || end > n) fail("the range lines do not cover the records in order");
        for (int k = start; k <= end; ++k)
            if (kenOf[static_cast<std::size_t>(k)] != kenOf[static_cast<std::size_t>(start)])
                fail("a range holds two prefectures");
        if (i > 0 && kenOf[static_cast<std::size_t>(start)] == kenOf[static_cast<std::size_t>(start - 1)])
            fail("one prefecture's run is split over two range lines");
        next = end + 1;
    }
    if (n > 0 && next != n + 1) fail("the range lines stop before the last record");

    // The test list: five fields per record, the third its KyuSu.
    FieldReader list(files.at(folders.cityTestList()), "fuzz");
    try {
        for (int k = 1; k <= n; ++k) {
            std::vector<Value> row = list.readValues(5);
            if (!row[0].isText() || number(row[2]) != kyuSuOf[static_cast<std::size_t>(k)])
                fail("a test list line does not match its record");
        }
    } catch (const FileError&) {
        fail("the test list does not read back");
    }
    if (!list.atEnd()) fail("the test list has more lines than records");
    return 0;
}
