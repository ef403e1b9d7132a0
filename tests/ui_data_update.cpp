// SPDX-License-Identifier: GPL-3.0-or-later
// The information window takes a newer shipped data set: it asks first,
// carries the learner's progress, lists once in the window the municipalities
// whose visit could not be carried, and says why when the data is refused.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <filesystem>
#include <map>
#include <string>

#include "core/build/program_folder.h"
#include "core/files/io.h"
#include "core/session/session.h"
#include "screens/frm8Info.h"
#include "screens/window_manager.h"
#include "support/data_sets.h"
#include "support/folder_checks.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

struct InfoWindow : ::testing::Test {
    Learner learner;
    Session session{learner.folder.path(), learner.io, learner.random};
    WindowManager windows{session, [] {}};
    std::string asked;
    bool agree = true;

    InfoWindow() {
        windows.setConfirmer([this](ui::Form&, const std::string& q) {
            asked = q;
            return agree;
        });
    }
    ~InfoWindow() override {
        windows.endProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    frm8Info& open() {
        frm8Info& i = windows.showInfo();
        i.setShippedData(learner.shippedNew.path());
        return i;
    }
};

}  // namespace

TEST_F(InfoWindow, TakingTheDataAsksThenListsWhatCouldNotBeCarriedWholeInTheWindow) {
    frm8Info& i = open();
    ASSERT_TRUE(i.cmdTakeData.visible());
    EXPECT_NE(i.lblVersion.caption().find("このフォルダ 2026.1／同梱 2026.2"), std::string::npos);
    ASSERT_TRUE(i.cmdTakeData.click());
    EXPECT_NE(asked.find("なくなった市町村の訪問1件は引き継げません"), std::string::npos) << asked;
    const std::string said = i.lblMsg2.caption();
    EXPECT_NE(said.find("訪問を引き継げなかった市町村：乙町（北海道）"), std::string::npos) << said;
    EXPECT_TRUE(i.lblMsg2.showsWhole()) << said;
    EXPECT_FALSE(i.cmdTakeData.visible());
    EXPECT_NE(i.lblVersion.caption().find("このフォルダ 2026.2／同梱 2026.2"), std::string::npos);
    EXPECT_EQ(session.quiz.totalCount, 4);
}

TEST_F(InfoWindow, NoOrARefusedDataSetLeavesEveryFileAndSaysWhy) {
    struct Case {
        const char* what;
        bool agree;
        bool spoil;
        const char* said;
    };
    const Case cases[] = {
        {"the learner says no", false, false, "取り込みませんでした。ファイルは変えていません。"},
        {"a damaged master", true, true, "同梱の新しいデータに不具合があるため、取り込みませんでした。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        agree = c.agree;
        if (c.spoil) writeBytes(AppFolders{learner.shippedNew.path()}.cityMaster(), cityMasterOf({}));
        const Snapshot before = snapshot(learner.folder.path());
        frm8Info& i = open();
        ASSERT_TRUE(i.cmdTakeData.click());
        EXPECT_EQ(i.lblMsg2.caption().rfind(c.said, 0), 0u) << i.lblMsg2.caption();
        EXPECT_TRUE(i.lblMsg2.showsWhole()) << i.lblMsg2.caption();
        EXPECT_TRUE(i.cmdTakeData.visible());
        EXPECT_EQ(snapshot(learner.folder.path()), before);
        windows.unload(WindowId::Info);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
