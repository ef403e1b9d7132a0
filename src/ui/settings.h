#pragma once
// The learner's choices that are no data (how a screen is answered): kept by
// the platform's settings store, or in the INI file `file` when it is not
// empty (tests and tools name one).
#include <filesystem>
#include <string>

namespace tabinowa::ui {

std::string setting(const std::filesystem::path& file, const std::string& key, const std::string& fallback);
void setSetting(const std::filesystem::path& file, const std::string& key, const std::string& value);

}  // namespace tabinowa::ui
