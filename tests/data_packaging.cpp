// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of what the package tells software centres: every screenshot the
// AppStream metadata names is a picture committed in the repository, at the
// address it will have under the project's homepage, of the size it declares.
#include <gtest/gtest.h>

#include <QImageReader>
#include <QSize>
#include <QString>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRepo = TABINOWA_SOURCE_DIR;
const fs::path kMetainfo = kRepo / "packaging" / "io.github.tabinowa.Tabinowa.metainfo.xml";

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Shot {
    int width = 0, height = 0;
    std::string address;
};

std::vector<Shot> screenshots(const std::string& xml) {
    std::vector<Shot> out;
    const std::regex image(R"re(<image type="source" width="(\d+)" height="(\d+)">([^<]+)</image>)re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), image); it != std::sregex_iterator(); ++it)
        out.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), (*it)[3]});
    return out;
}

std::string homepage(const std::string& xml) {
    std::smatch m;
    const std::regex url(R"re(<url type="homepage">([^<]+)</url>)re");
    return std::regex_search(xml, m, url) ? m[1].str() : std::string{};
}

TEST(Packaging, EveryScreenshotIsACommittedPictureOfItsDeclaredSizeUnderTheHomepage) {
    const std::string xml = readAll(kMetainfo);
    ASSERT_FALSE(xml.empty()) << kMetainfo;
    const std::string home = homepage(xml);
    ASSERT_FALSE(home.empty()) << "no homepage address";
    // The files of the main branch, as the hosting site serves them.
    const std::string served = home + "/raw/main/";
    const std::vector<Shot> shots = screenshots(xml);
    ASSERT_GE(shots.size(), 3u);
    EXPECT_NE(xml.find(R"(<screenshot type="default">)"), std::string::npos);
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.address);
        ASSERT_EQ(s.address.rfind(served, 0), 0u) << "not under " << served;
        const fs::path file = kRepo / s.address.substr(served.size());
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        QImageReader reader(QString::fromStdString(file.string()));
        EXPECT_EQ(reader.format(), QByteArray("png"));
        EXPECT_EQ(reader.size(), QSize(s.width, s.height));
    }
}

}  // namespace
