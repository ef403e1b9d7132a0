// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the whole-program tests check after a step: every file of the program
// folder, and the wording of the program's messages. Header only, standard C++.
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "support/temp_folder.h"

namespace tabinowa::testing {

// Every file under the program folder: relative path -> bytes.
using Snapshot = std::map<std::string, std::string>;

inline Snapshot snapshot(const std::filesystem::path& root) {
    Snapshot s;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) {
            auto rel = std::filesystem::relative(e.path(), root).generic_u8string();
            s[std::string(rel.begin(), rel.end())] = readBytes(e.path());
        }
    return s;
}

// Every file under `root` removed; the folders stay.
inline void removeFiles(const std::filesystem::path& root) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) std::filesystem::remove(e.path());
}

// The folder's files made exactly those of a snapshot.
inline void putBack(const std::filesystem::path& root, const Snapshot& s) {
    removeFiles(root);
    for (const auto& [name, bytes] : s) writeBytes(root / std::filesystem::path(std::u8string(name.begin(), name.end())), bytes);
}

// A message of this program: Japanese, and naming the file in 「」. Outside
// the file names it holds no Latin letters (no English error text) and at
// least `ownBytes` bytes.
inline bool japaneseNaming(const std::string& message, const std::string& file, std::size_t ownBytes = 0) {
    if (message.find("「" + file + "」") == std::string::npos) return false;
    std::string rest = std::regex_replace(message, std::regex("「.*?」"), "");
    // "シフトJIS" and "UTF-8" are the names of the encodings
    rest = std::regex_replace(rest, std::regex("シフトJIS|UTF-8"), "");
    for (unsigned char c : rest)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
    return rest.size() >= ownBytes;
}

}  // namespace tabinowa::testing
