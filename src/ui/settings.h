// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every setting of the program in one place, typed: the learner's choices
// that are no data (the display scale, how each screen is answered), kept in
// one INI file, ~/.config/tabinowa/settings.ini (tests and tools may name
// another). Reading never fails: a value missing or out of range reads as
// its default. A save says whether it reached the disk.
#include <filesystem>
#include <optional>
#include <string>

namespace tabinowa::ui {

class Settings {
public:
    // The user's settings file.
    Settings();
    explicit Settings(std::filesystem::path file);

    // 表示倍率 in percent, 100..200 (none: never chosen, or not a valid value).
    std::optional<int> scalePercent() const;
    bool setScalePercent(int percent);

    // Whether a screen ("training", "game", "review") is answered by choice.
    bool answerByChoice(const std::string& screen) const;
    bool setAnswerByChoice(const std::string& screen, bool byChoice);

    // Removes what a save cut short left beside the file (its temporary
    // copies); run once at the start.
    void removeLeftovers() const;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace tabinowa::ui
