#include "ui/settings.h"

#include <QSettings>

#include <memory>

#include "ui/internal.h"

namespace tabinowa::ui {

namespace {
std::unique_ptr<QSettings> open(const std::filesystem::path& file) {
    if (!file.empty()) return std::make_unique<QSettings>(detail::pathToQ(file), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "tabinowa", "tabinowa");
}
}  // namespace

std::string setting(const std::filesystem::path& file, const std::string& key, const std::string& fallback) {
    const QVariant v = open(file)->value(detail::toQ(key));
    return v.isValid() ? detail::fromQ(v.toString()) : fallback;
}

void setSetting(const std::filesystem::path& file, const std::string& key, const std::string& value) {
    auto s = open(file);
    s->setValue(detail::toQ(key), detail::toQ(value));
    s->sync();
}

}  // namespace tabinowa::ui
