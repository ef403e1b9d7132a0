// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small question banks for the window tests: records made with Mondai::encode
// and written whole as "問題.ran".
#include <cstdint>
#include <string>
#include <vector>

#include "core/files/cp932.h"
#include "core/files/folders.h"
#include "core/files/records.h"
#include "support/temp_folder.h"

namespace tabinowa::testing {

// Question n: its texts carry its number, so a test can tell which one is shown.
// With `hint`, choices 1 to 3 are filled (choice 4 is always the answer).
inline Mondai sampleQuestion(int n, bool hint = false, std::int16_t removed = 0) {
    Mondai m;
    const std::string no = std::to_string(n);
    m.Inyo = "AB";
    m.InyoNo = static_cast<std::int16_t>(n);
    if (hint) {
        m.Sentaku = {"甲案" + no, "乙案" + no, "丙案" + no, "正解" + no};
    } else {
        m.Sentaku = {"", "", "", "正解" + no};
    }
    for (std::size_t i = 0; i < 4; ++i) m.SentakuLen[i] = static_cast<std::int16_t>(charCount(m.Sentaku[i]));
    m.SentakuSu = 4;
    m.Kotae = "正解" + no;
    m.KotaeLen = static_cast<std::int16_t>(charCount(m.Kotae));
    m.Kaisetu = "解説" + no + "：説明の文です。";
    m.KaisetuLen = static_cast<std::int16_t>(charCount(m.Kaisetu));
    m.Mondai1 = "第" + no + "問";
    m.Mondai1Len = static_cast<std::int16_t>(charCount(m.Mondai1));
    m.Mondai2 = "問題文" + no + "の答えは何でしょう。";
    m.Mondai2Len = static_cast<std::int16_t>(charCount(m.Mondai2));
    m.Syokyo = removed;
    return m;
}

inline std::string encodeAll(const std::vector<Mondai>& questions) {
    std::string bytes;
    for (const auto& m : questions) bytes += m.encode("test");
    return bytes;
}

// `count` questions numbered from 1; those listed in `removed` carry Syokyo = 1.
inline std::vector<Mondai> sampleBank(int count, const std::vector<int>& removed = {}, bool hint = false) {
    std::vector<Mondai> out;
    for (int n = 1; n <= count; ++n) {
        bool gone = false;
        for (int r : removed) gone = gone || r == n;
        out.push_back(sampleQuestion(n, hint, gone ? 1 : 0));
    }
    return out;
}

inline void writeBank(const AppFolders& folders, const std::vector<Mondai>& questions) {
    writeBytes(folders.questionRecords(), encodeAll(questions));
}

// The removed flag of record n as it is in the file.
inline std::int16_t storedFlag(const AppFolders& folders, int n) {
    const std::string bytes = readBytes(folders.questionRecords());
    const std::size_t end = static_cast<std::size_t>(n) * Mondai::kLength;
    if (end > bytes.size()) return -1;
    return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[end - 2]) |
                                     (static_cast<unsigned char>(bytes[end - 1]) << 8));
}

}  // namespace tabinowa::testing
