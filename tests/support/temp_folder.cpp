// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "core/files/cp932.h"

namespace tabinowa::testing {

TempProgramFolder::TempProgramFolder() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("tabinowa-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            root_ = candidate;
            break;
        }
    }
    if (root_.empty()) throw std::runtime_error("cannot make a temporary folder");
    AppFolders f{root_};
    std::filesystem::create_directory(f.data());
    std::filesystem::create_directory(f.map());
    std::filesystem::create_directory(f.work());
}

TempProgramFolder::~TempProgramFolder() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::filesystem::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

std::string sjisLines(std::string_view utf8) {
    std::string crlf;
    for (char c : utf8) {
        if (c == '\n') crlf += "\r\n";
        else crlf += c;
    }
    return toCp932(crlf, "test");
}

}  // namespace tabinowa::testing
