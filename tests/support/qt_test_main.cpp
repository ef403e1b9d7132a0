// SPDX-License-Identifier: GPL-3.0-or-later
// Test main for programs that drive windows: a QApplication on the offscreen
// platform (test discovery runs these binaries at build time, with no display).
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Every test starts with no saved settings, as it does when the test runner
// starts each test in a process of its own: a setting one test saves (the
// answer mode, the display scale) never reaches the next.
class FreshSettings : public ::testing::EmptyTestEventListener {
public:
    explicit FreshSettings(QString folder) : folder_(std::move(folder)) {}
    void OnTestStart(const ::testing::TestInfo&) override { QDir(folder_).removeRecursively(); }

private:
    QString folder_;
};

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // What the windows save (the settings) goes to a folder of this process
    // alone: never the user's, never another test program's running beside it.
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings(home.path() + "/config"));
    return RUN_ALL_TESTS();
}
