// SPDX-License-Identifier: GPL-3.0-or-later
// The municipality build: "市町村.csv" (a header, then 43 fields a row) and
// "都道府県データ.csv" -> "市町村.ran", "県範囲.csv", "訪問消去.ran" and
// "市町村ｔｅｓｔ.csv". All four are made in memory and replaced together
// only when both masters have been read without fault.
//
// A municipality that did not merge is one municipality row with its own old
// name in field 6. A merged one is a municipality row with an empty field 6
// followed by one row per old municipality; it stays pending until the next
// municipality row or the end of the master.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/build/builds.h"
#include "core/files/messages.h"
#include "core/build/master_row.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/prefectures.h"
#include "core/files/records.h"
#include "core/files/text_file.h"

namespace tabinowa {
namespace {

constexpr int kMasterColumns = 43;
constexpr int kPrefectureColumns = 8;
constexpr std::size_t kListDescriptionChars = 200;
constexpr int kMaxRecords = std::numeric_limits<std::int16_t>::max();
const char* const kBlank = "\u3000";

// Fields 25 to 37 joined with ideographic blanks. The municipality form has
// no blank between fields 34 and 35.
std::string description(const build::MasterRow& row, bool municipalityForm) {
    std::string text = row.text(25);
    for (int f = 26; f <= 37; ++f) {
        if (!(municipalityForm && f == 35)) text += kBlank;
        text += row.text(f);
    }
    return text;
}

// The most rows of `columns` fields the bytes can hold: every field ends at a
// comma, a line end (CR LF, LF or CR) or the end of the file. A row takes at
// least columns - 1 bytes, so this never exceeds what a master of that size
// could really hold.
std::size_t rowsAtMost(std::string_view bytes, int columns) {
    std::size_t fields = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool crOfCrLf = c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        if (c == ',' || c == '\n' || (c == '\r' && !crOfCrLf)) ++fields;
    }
    return fields / static_cast<std::size_t>(columns);
}

struct OldMunicipality {
    std::string name;
    std::int16_t x = 0, y = 0;
    std::string text;  // its first 200 characters
    std::size_t length = 0;  // characters of the whole description
};

struct RangeLine {
    int start, end;
};

class CityBuild {
public:
    CityBuild(std::string masterName, std::string testListName)
        : masterName_(std::move(masterName)), testList_(std::move(testListName)) {}

    // Room for `rows` records, so the output is not copied as it grows.
    void reserve(std::size_t rows) {
        cityRecords_.reserve(rows * City::kLength);
        visitMarks_.reserve(rows * Homon::kLength);
    }

    void row(const build::MasterRow& r) {
        const auto kind = r.at(3).asNumber();
        if (kind && (*kind == 1 || *kind == 3)) return;  // rows of these kinds are not part of the build
        const auto rowType = r.at(5).asNumber();
        const bool municipalityRow = rowType && *rowType == 0;
        if (!municipalityRow) {
            oldRow(r);
            return;
        }
        if (pending_) writePending();
        fill(r);
        if (r.text(6).empty()) {
            pending_ = true;
            mergedOpen_ = true;
            return;
        }
        // A municipality that did not merge: its own one old municipality.
        mergedOpen_ = false;
        buffer_.KyuNames[1] = r.text(6);
        buffer_.KyuX[1] = buffer_.X;
        buffer_.KyuY[1] = buffer_.Y;
        std::string text = description(r, true);
        buffer_.KyuTextLen[1] = std::to_string(charCount(text));
        buffer_.KyuText[1] = std::move(text);
        buffer_.KyuSu = 1;
        writeRecord();
    }

    void finish() {
        if (pending_) writePending();
        if (written_ > 0) ranges_.push_back({firstOfPrefecture_, written_});
    }

    int written() const { return written_; }
    const std::string& cityRecords() const { return cityRecords_; }
    const std::string& visitMarks() const { return visitMarks_; }
    const std::string& testList() const { return testList_.bytes(); }
    const std::vector<RangeLine>& ranges() const { return ranges_; }

private:
    void fill(const build::MasterRow& r) {
        recordLine_ = r.lineOf(2);
        buffer_.KenNo = r.int16(2);
        buffer_.Syubetu = r.int16(3);
        buffer_.SubCode = r.int16(4);
        buffer_.KyuName = r.text(6);
        buffer_.CityName = r.text(7);
        buffer_.Name2 = r.text(8);
        buffer_.Name3 = r.text(9);
        buffer_.X = r.int16(15);
        buffer_.Y = r.int16(16);
        buffer_.Jinko = r.int32(17);
        buffer_.Menseki = r.int32(18);
        buffer_.Jigyosyo = r.int32(19);
        buffer_.Jugyoin = r.int32(20);
        buffer_.Kogyo = r.int32(21);
        buffer_.Syogyo = r.int32(22);
        buffer_.Extra1 = r.int16(23);
        buffer_.Extra2 = r.int16(24);
        for (int i = 0; i < 5; ++i) buffer_.Memo[static_cast<std::size_t>(i)] = r.text(38 + i);
    }

    void oldRow(const build::MasterRow& r) {
        const std::string at = build::lineLabel(masterName_, r.lineOf(5));
        if (!mergedOpen_)
            throw FileError(at + "：旧市町村の行の前に、合併した市町村の行（6列目が空の行）がありません。");
        if (static_cast<int>(list_.size()) == City::kMaxOld)
            throw FileError(at + "：市町村「" + buffer_.CityName + "」の旧市町村が多すぎます（最大" +
                            std::to_string(City::kMaxOld) + "）。");
        OldMunicipality old;
        old.name = r.text(6);
        old.x = r.int16(15);
        old.y = r.int16(16);
        std::string text = description(r, false);
        old.length = charCount(text);
        old.text = leftChars(text, kListDescriptionChars);
        list_.push_back(std::move(old));
    }

    void writePending() {
        if (list_.empty())
            throw FileError(build::lineLabel(masterName_, recordLine_) + "：合併した市町村「" + buffer_.CityName +
                            "」の後に、旧市町村の行がありません。");
        for (std::size_t k = 1; k <= list_.size(); ++k) {
            const OldMunicipality& old = list_[k - 1];
            buffer_.KyuNames[k] = old.name;
            buffer_.KyuX[k] = old.x;
            buffer_.KyuY[k] = old.y;
            buffer_.KyuText[k] = old.text;
            buffer_.KyuTextLen[k] = std::to_string(old.length);
        }
        buffer_.KyuSu = static_cast<std::int16_t>(list_.size());
        list_.clear();
        writeRecord();
    }

    void writeRecord() {
        const std::string at = build::lineLabel(masterName_, recordLine_);
        if (written_ == kMaxRecords)
            throw FileError(at + "：市町村が多すぎます（最大" + std::to_string(kMaxRecords) + "件）。");
        const int n = written_ + 1;
        buffer_.RecNo = static_cast<std::int16_t>(n);
        const std::string where = at + "の市町村「" + buffer_.CityName + "」";
        const std::string record = buffer_.encode(where);
        (void)City::decode(record, where);  // never a record that a reader would refuse
        cityRecords_ += record;
        testList_.writeFields({Value::text(padChars(buffer_.CityName, 20)), Value::number(buffer_.Yobi2),
                               Value::number(buffer_.KyuSu), Value::number(buffer_.KyuX[1]),
                               Value::number(buffer_.KyuY[1])});
        Homon mark;
        mark.Homon = 0;
        mark.HomonRec1 = mark.HomonRec2 = static_cast<std::int16_t>(n);
        visitMarks_ += mark.encode();
        written_ = n;
        pending_ = false;

        // A prefecture's records form one run; a change of KenNo closes the run.
        if (n == 1 || buffer_.KenNo != lastKenNo_) {
            if (n > 1) ranges_.push_back({firstOfPrefecture_, n - 1});
            firstOfPrefecture_ = n;
        }
        lastKenNo_ = buffer_.KenNo;
    }

    std::string masterName_;
    // Not cleared between municipalities: what one does not set keeps what an
    // earlier one left (the record layout carries it in unused slots).
    City buffer_ = City::zeroed();
    int recordLine_ = 0;
    bool pending_ = false;
    bool mergedOpen_ = false;  // old-municipality rows may follow
    std::vector<OldMunicipality> list_;

    int written_ = 0;
    std::string cityRecords_, visitMarks_;
    TextWriter testList_;

    std::vector<RangeLine> ranges_;
    int firstOfPrefecture_ = 1;
    std::int16_t lastKenNo_ = 0;
};

struct PrefectureLine {
    std::string name;
};

// "都道府県データ.csv": one line of eight fields per prefecture, at most 48.
std::vector<PrefectureLine> readPrefectureData(std::string bytes, const std::string& name) {
    FieldReader reader(std::move(bytes), name);
    std::vector<PrefectureLine> lines;
    while (!reader.atEnd()) {
        if (static_cast<int>(lines.size()) == kMaxPrefectureLines)
            throw FileError(build::lineLabel(name, reader.line()) + "：行が多すぎます（最大" +
                            std::to_string(kMaxPrefectureLines) + "行）。");
        reader.readInt16();
        PrefectureLine line{reader.readValue().asText()};
        reader.readInt16();
        reader.readInt16();
        for (int i = 5; i <= kPrefectureColumns; ++i) reader.readValue();
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::string CityFiles::rangeBytes(const std::vector<int>& visits) const {
    TextWriter rangeFile(rangeName);
    for (std::size_t i = 0; i < ranges.size(); ++i)
        rangeFile.writeFields({Value::number(static_cast<double>(i + 1)), Value::number(0), Value::text(ranges[i].name),
                               Value::number(ranges[i].start), Value::number(ranges[i].end),
                               Value::number(i < visits.size() ? visits[i] : 0)});
    return rangeFile.bytes();
}

CityFiles cityFilesFrom(std::string master, const std::function<std::string()>& prefectureData, const AppFolders& folders,
                        bool withRepair) {
    const std::string masterName = displayName(folders.cityMaster());
    const std::string prefectureName = displayName(folders.prefectureData());
    auto reading = [&](const std::function<void()>& read) {
        if (withRepair) build::withMasterRepair(read);
        else read();
    };
    CityBuild city(masterName, displayName(folders.cityTestList()));
    reading([&] {
        // Room for the records a master of this size can hold. (Counting lines
        // instead let a few kilobytes of blank lines reserve 160 MB and more.)
        city.reserve(std::min(rowsAtMost(master, kMasterColumns), static_cast<std::size_t>(kMaxRecords)));
        FieldReader reader(std::move(master), masterName);
        build::MasterRow header(reader, kMasterColumns);  // read and not used
        while (!reader.atEnd()) city.row(build::MasterRow(reader, kMasterColumns));
        city.finish();
    });
    if (city.written() == 0)
        throw FileError("ファイル" + masterName +
                        "に市町村が1行もありません。作り直すと地図もミチクサも使えなくなるので、作り直していません。" +
                        (withRepair ? masterRepair() : std::string(kUnchanged)));

    // Range line i belongs to line i of the prefecture data, by position.
    std::vector<PrefectureLine> prefectures;
    reading([&] { prefectures = readPrefectureData(prefectureData(), prefectureName); });
    const auto& ranges = city.ranges();
    if (ranges.size() > prefectures.size())
        throw FileError("ファイル" + prefectureName + "に" + std::to_string(prefectures.size() + 1) +
                        "行目がありません（" + masterName + "には" + std::to_string(ranges.size()) +
                        "の都道府県があります）。" + (withRepair ? masterRepair() : std::string(kUnchanged)));
    CityFiles out;
    out.records = city.cityRecords();
    out.marks = city.visitMarks();
    out.testList = city.testList();
    out.rangeName = displayName(folders.rangeFile());
    for (std::size_t i = 0; i < ranges.size(); ++i)
        out.ranges.push_back({ranges[i].start, ranges[i].end, prefectures[i].name});
    return out;
}

std::string buildCityFiles(Session& session, const ConfirmLoss& confirmLoss) {
    Io& io = session.io;
    const AppFolders& folders = session.folders;
    const auto masterPath = folders.cityMaster();

    std::string master;
    build::withMasterRepair([&] { master = readWholeFile(io, masterPath); });
    const CityFiles city = cityFilesFrom(
        std::move(master), [&] { return readWholeFile(io, folders.prefectureData()); }, folders, true);
    const long long fresh = city.count();
    {
        long long old = 0;
        const auto recordPath = folders.cityRecords();
        const int fd = io.exists(recordPath) ? io.open(recordPath, Io::Mode::Read) : -1;
        if (fd >= 0) {
            old = std::max(0LL, io.size(fd)) / static_cast<long long>(City::kLength);
            io.close(fd);
        }
        if (farFewer(fresh, old)) {
            const std::string question = "ファイル" + displayName(masterPath) + "には市町村が" + std::to_string(fresh) +
                                         "件しかありません。今の" + displayName(recordPath) + "の" +
                                         std::to_string(old) + "件と置き換えると、" + std::to_string(old - fresh) +
                                         "件の市町村と、全ての訪問の記録が消えます。\nそれでも作り直しますか？";
            if (!confirmLoss || !confirmLoss(question)) return kBuildDeclined;
        }
    }

    FileSet files(io, folders.journal());
    files.stage(folders.cityRecords(), city.records);
    files.stage(folders.rangeFile(), city.rangeBytes());
    files.stage(folders.visitMarks(), city.marks);
    files.stage(folders.cityTestList(), city.testList);
    files.commit();

    return "終了　" + std::to_string(fresh);
}

}  // namespace tabinowa
