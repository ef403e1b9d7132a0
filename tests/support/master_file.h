// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The shipped masters read field by field for the data checks. Header only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/cp932.h"

namespace tabinowa::testing {

struct MasterField {
    std::string text;  // UTF-8
    bool quoted = false;
};
using MasterLine = std::vector<MasterField>;

// Lines of a CP932 file in the masters' dialect: CR LF ends, a quoted field
// runs to the next quote (there is no escaping), an unquoted one to the next
// comma. Fails the test on a bare LF or a stray quote. A missing file has no lines.
inline std::vector<MasterLine> readMaster(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string utf8 = fromCp932(bytes.str(), p.string());
    std::vector<MasterLine> lines;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t end = utf8.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << p << ": last line without CR LF";
        if (end == std::string::npos) end = utf8.size();
        std::string_view s(utf8.data() + pos, end - pos);
        EXPECT_EQ(s.find('\n'), std::string_view::npos) << p << ": bare LF in line " << lines.size() + 1;
        MasterLine line;
        std::size_t i = 0;
        while (true) {
            MasterField f;
            if (i < s.size() && s[i] == '"') {
                std::size_t close = s.find('"', i + 1);
                EXPECT_NE(close, std::string_view::npos) << p << ": unclosed quote in line " << lines.size() + 1;
                if (close == std::string_view::npos) close = s.size();
                f.text = std::string(s.substr(i + 1, close - i - 1));
                f.quoted = true;
                i = close + 1;
                EXPECT_TRUE(i >= s.size() || s[i] == ',')
                    << p << ": text after a closing quote in line " << lines.size() + 1 << ": " << s;
            } else {
                std::size_t comma = s.find(',', i);
                if (comma == std::string_view::npos) comma = s.size();
                f.text = std::string(s.substr(i, comma - i));
                EXPECT_EQ(f.text.find('"'), std::string::npos) << p << ": stray quote in line " << lines.size() + 1;
                i = comma;
            }
            line.push_back(std::move(f));
            if (i >= s.size()) break;
            ++i;  // the comma
        }
        lines.push_back(std::move(line));
        pos = end + 2;
    }
    return lines;
}

}  // namespace tabinowa::testing
