// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the parts of tabinowa-screenshots share: the temporary program folder
// each part works in, saving a window, and the pieces of the made-up data sets
// used when the given program folder lacks the shipped data.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QPoint>
#include <QPolygon>

#include "core/files/folders.h"
#include "core/files/records.h"

namespace tabinowa::ui {
class Form;
}

namespace tabinowa::shots {

// Runs `body` in a new temporary folder "<prefix>-XXXXXX", removed afterwards.
// `body` counts its failures in its second argument; an exception ends it with
// "<label>: <message>" on the error stream and one failure more. Returns the
// failures (1 when the folder cannot be made).
int inTemporaryFolder(const std::string& prefix, const std::string& label,
                      const std::function<void(const std::filesystem::path& folder, int& failures)>& body);

// Lays out the three data folders in `to`: copies of those in `from` where
// `from` is given and has them, empty ones otherwise.
void copyDataFolders(const std::filesystem::path& from, const std::filesystem::path& to);

// The data folders of `from` copied to `to`; where `hasData` finds what a
// part needs missing there, `makeUp` writes its made-up set. Says on the
// output which of the two the part `label` uses.
AppFolders prepareCopy(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& label,
                       bool (*hasData)(const AppFolders&), void (*makeUp)(const AppFolders&));

// Saves the form as `png` once pending events are done, and says so on the
// output. False when it could not.
bool saveShot(const ui::Form& form, const std::filesystem::path& png);

// ----------------------------------------------------------- made-up data

struct Old {
    const char* name;
    int x, y;  // pixels on the picture
    const char* text;
};

struct Town {
    int ken;
    const char* name;
    std::int32_t jinko, menseki, jigyosyo, jugyoin, kogyo, syogyo;
    std::vector<Old> old;
};

// Writes the towns as records 1, 2, ... of "市町村.ran".
void writeTowns(const AppFolders& f, const std::vector<Town>& towns);

struct Prefecture {
    const char* name;
    int startRec, endRec;
};

// Writes "県範囲.csv", nothing visited.
void writePrefectures(const AppFolders& f, const std::vector<Prefecture>& prefectures);

struct Island {
    QPoint centre;
    int rx, ry;
};

// A map picture: sea, and the land and islands drawn on it.
void drawMap(const std::filesystem::path& file, const QPolygon& land, const std::vector<Island>& islands = {});

// The question with every length field set from its text.
Mondai withLengths(Mondai m);

}  // namespace tabinowa::shots
