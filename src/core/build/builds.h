// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The environment window's two builds of the working files from the masters.
// Each is all or nothing: every output is written under a temporary name and
// renamed over the old file only when the whole build succeeded. On any error
// FileError is thrown (Japanese, naming the file and the line or field) and
// every file and the Session stay exactly as they were.
#include <functional>
#include <string>

#include "core/session/session.h"

namespace tabinowa {

// Asked before a build replaces working files with far fewer rows: the text
// says what would be lost; true goes on. Without one such a build is refused.
using ConfirmLoss = std::function<bool(const std::string& question)>;

// A master is "far smaller" than the working file it replaces when it holds
// less than half as many rows: a cut or wrong file, most likely.
bool farFewer(long long fresh, long long old);

// "問題.csv" -> "問題.ran" (every record active), "point.csv" set to 0, the
// Session's point total 0, the deck rebuilt from the new file. Returns the
// text for lblMsg1: count + "  " + count + "件　終了". A master without a
// question is refused; one with far fewer than "問題.ran" asks `confirmLoss`.
std::string buildQuestionFile(Session& session, const ConfirmLoss& confirmLoss = {});

// "市町村.csv" + "都道府県データ.csv" -> "市町村.ran", "県範囲.csv",
// "訪問消去.ran", "市町村ｔｅｓｔ.csv". Returns "終了　" + record count. A
// master without a municipality is refused; one with far fewer than
// "市町村.ran" asks `confirmLoss`.
std::string buildCityFiles(Session& session, const ConfirmLoss& confirmLoss = {});

// The message of a build that was not made because the learner said no.
inline constexpr const char* kBuildDeclined = "作り直しませんでした。ファイルは変えていません。";

}  // namespace tabinowa
