// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A temporary program folder with the three data folders, removed at the end.
#include <filesystem>
#include <string>
#include <string_view>

#include "core/files/folders.h"

namespace tabinowa::testing {

class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;

    const std::filesystem::path& path() const { return root_; }
    AppFolders folders() const { return AppFolders{root_}; }

private:
    std::filesystem::path root_;
};

// Whole-file helpers for tests (raw bytes, no conversion).
std::string readBytes(const std::filesystem::path& p);
void writeBytes(const std::filesystem::path& p, std::string_view bytes);
// UTF-8 text to CP932 with CR LF line ends ("\n" in the text becomes CR LF).
std::string sjisLines(std::string_view utf8);

}  // namespace tabinowa::testing
