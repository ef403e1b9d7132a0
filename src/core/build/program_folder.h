// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program folder is, where the shipped data set is, and the first
// start in an empty folder: the masters and pictures are copied in and the
// working files are made, never overwriting a file that is already there.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/base/random.h"
#include "core/files/io.h"

namespace tabinowa {

enum class FolderSource {
    Given,     // --folder DIR
    Portable,  // the executable's own folder, which holds "作業ファイル/"
    User,      // the user's data folder
};

struct FolderChoice {
    std::filesystem::path folder;
    FolderSource source = FolderSource::User;
};

// In this order: the given folder; the executable's folder when it holds
// "作業ファイル/"; the user's data folder.
FolderChoice chooseProgramFolder(const std::optional<std::filesystem::path>& given,
                                 const std::filesystem::path& executableFolder,
                                 const std::filesystem::path& userDataFolder, Io& io);

// The shipped data set (a folder with file1/ and 作業ファイル/ holding the
// masters), looked for relative to the executable: ../share/tabinowa/ when
// installed, data/ beside it (a build folder's copy), ../data/ (a build folder
// inside the source tree). None when no candidate holds the masters.
std::optional<std::filesystem::path> findShippedData(const std::filesystem::path& executableFolder, Io& io);

// The data version file, in the shipped data set and in a program folder:
//   tabinowa-data-version 1
//   <version: numbers joined by dots, e.g. 2026.12>
inline constexpr const char* kDataVersionFile = "tabinowa-data-version.txt";
// The version a folder holds; none when it has no version file. Throws
// FileError naming the file when the file is there but not of this form.
std::optional<std::string> readDataVersion(Io& io, const std::filesystem::path& folder);
// The bytes of a version file holding `version`.
std::string dataVersionBytes(const std::string& version);
// Writes the version file of a folder (temporary file, then rename).
void writeDataVersion(Io& io, const std::filesystem::path& folder, const std::string& version);
// -1, 0, 1 as a is older than, the same as, newer than b ("2026.2" < "2026.10").
int compareDataVersions(const std::string& a, const std::string& b);

// One step of the first start, for a progress display.
struct SetupProgress {
    std::string text;  // Japanese, e.g. "地図の画像をコピーしています（3/47）"
    int done = 0;
    int total = 0;
};

struct SetupReport {
    int copied = 0;              // files copied from the shipped data set
    bool questionsBuilt = false;
    bool citiesBuilt = false;
    // Japanese notes for the user: working files found only in part, which
    // this start leaves alone (the environment window makes them again).
    std::vector<std::string> notes;
};

// Makes `folder` ready to run: creates file/, file1/, 作業ファイル/, copies
// every master and picture of `shipped` that the folder lacks (each through a
// temporary file, so a stopped copy leaves no torn file), then runs the
// question build when none of its outputs exists and the municipality build
// when none of its outputs exists. A file already in the folder is never
// written. A folder that got its masters now gets the shipped data version.
// Throws FileError (Japanese, naming the file) when a step fails; the files
// finished before it stay, so the next start goes on from there.
SetupReport prepareProgramFolder(const std::filesystem::path& folder,
                                 const std::optional<std::filesystem::path>& shipped, Io& io,
                                 Random& random,
                                 const std::function<void(const SetupProgress&)>& progress = {});

// True when prepareProgramFolder would find nothing to do and nothing to
// tell: the data folders, every shipped master and picture and every working
// file are there. Only looks (a few dozen stat calls); writes nothing.
bool folderIsReady(const std::filesystem::path& folder, const std::optional<std::filesystem::path>& shipped, Io& io);

// The files a folder takes from a data set (its masters, the prefecture data,
// the pictures), each with where it goes in the folder, sorted by name.
// Throws FileError when a folder of the data set cannot be listed.
struct ShippedFile {
    std::filesystem::path from, to;
};
std::vector<ShippedFile> shippedFiles(const std::filesystem::path& shipped, const std::filesystem::path& folder);

}  // namespace tabinowa
