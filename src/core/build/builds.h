// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The environment window's two builds of the working files from the masters.
// Each is all or nothing: every output is written under a temporary name and
// renamed over the old file only when the whole build succeeded. On any error
// FileError is thrown (Japanese, naming the file and the line or field) and
// every file and the Session stay exactly as they were.
#include <string>

#include "core/session/session.h"

namespace tabinowa {

// "問題.csv" -> "問題.ran" (every record active), "point.csv" set to 0, the
// Session's point total 0, the deck rebuilt from the new file. Returns the
// text for lblMsg1: count + "  " + count + "件　終了".
std::string buildQuestionFile(Session& session);

// "市町村.csv" + "都道府県データ.csv" -> "市町村.ran", "県範囲.csv",
// "訪問消去.ran", "市町村ｔｅｓｔ.csv". Returns "終了　" + record count.
std::string buildCityFiles(Session& session);

}  // namespace tabinowa
