// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include "ui/display_scale.h"
#include "ui/internal.h"

namespace tabinowa::ui {

namespace {
const QString kScaleKey = QStringLiteral("display/scalePercent");
QString choiceKey(const std::string& screen) { return QStringLiteral("answer-by-choice/") + detail::toQ(screen); }
}  // namespace

Settings::Settings()
    : file_(detail::pathFromQ(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                              QStringLiteral("/settings.ini"))) {}

Settings::Settings(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<int> Settings::scalePercent() const {
    QSettings s(detail::pathToQ(file_), QSettings::IniFormat);
    bool ok = false;
    const int percent = s.value(kScaleKey).toInt(&ok);
    if (!ok || percent < kMinScalePercent || percent > kMaxScalePercent) return std::nullopt;
    return percent;
}

bool Settings::setScalePercent(int percent) {
    QSettings s(detail::pathToQ(file_), QSettings::IniFormat);
    s.setValue(kScaleKey, percent);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool Settings::answerByChoice(const std::string& screen) const {
    QSettings s(detail::pathToQ(file_), QSettings::IniFormat);
    return s.value(choiceKey(screen)).toString() == QStringLiteral("1");
}

bool Settings::setAnswerByChoice(const std::string& screen, bool byChoice) {
    QSettings s(detail::pathToQ(file_), QSettings::IniFormat);
    s.setValue(choiceKey(screen), byChoice ? QStringLiteral("1") : QStringLiteral("0"));
    s.sync();
    return s.status() == QSettings::NoError;
}

void Settings::removeLeftovers() const {
    // A save writes "settings.ini.XXXXXX" and renames it over the file; a
    // copy cut short by a crash keeps that name forever.
    const QFileInfo info(detail::pathToQ(file_));
    QDir dir = info.dir();
    const QRegularExpression temporary(QStringLiteral("^") + QRegularExpression::escape(info.fileName()) +
                                       QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        if (temporary.match(name).hasMatch()) dir.remove(name);
    // The save's lock, "settings.ini.lock", left by a save cut short: taken
    // and let go when the process that held it is gone (a lock a running copy
    // holds, or one too new to judge, stays).
    QLockFile lock(detail::pathToQ(file_) + QStringLiteral(".lock"));
    if (lock.tryLock(0)) lock.unlock();
}

}  // namespace tabinowa::ui
