// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <memory>
#include <string>

// The environment window: rebuilds the working files from the masters, and
// sets the display scale (表示倍率) of the windows, remembered across runs.
#include "core/session/session.h"
#include "screens/learner_fit.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

class frm9Kankyo final : public Window {
public:
    frm9Kankyo(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }

    void cmdStoR_Click();
    void cmdToMain_Click();
    void cmdCity_Click();
    // Puts the files of a change whose journal cannot be trusted back as they were before it.
    void cmdRestore_Click();
    // One step of 10 % down or up within 100 .. 200 %.
    void cmdScale_Click(int stepPercent);
    // Fits the FSRS weights to the learner's answers now (in the background).
    void cmdFit_Click();
    // Back to the standard weights.
    void cmdFitReset_Click();
    // Sets a damaged memory file aside (renamed, never deleted) and starts the memory afresh.
    void cmdMemory_Click();

    ui::Form frm;
    // in tab order
    ui::CommandButton cmdStoR;
    ui::Label lblMsg1;
    ui::CommandButton cmdToMain;
    ui::CommandButton cmdCity;
    ui::Label lblScale;
    ui::CommandButton cmdScaleDown;
    ui::CommandButton cmdScaleUp;
    ui::CommandButton cmdFit;
    ui::Label lblFit;
    ui::CommandButton cmdFitReset;
    // "中断された変更を取り消す": shown while a change's journal is left in the program folder.
    ui::CommandButton cmdRestore;
    // "記憶を作り直す": shown, in place of the reset of the weights, while a memory file cannot be read.
    ui::CommandButton cmdMemory;

private:
    void showScale();
    void say(const std::string& text);
    void showRestore();
    void showMemoryRepair();
    // The build's second question, asked when a master holds far fewer rows than the file it replaces.
    bool confirmLoss(const std::string& question);
    std::string questionBuildQuestion() const;
    std::string cityBuildQuestion() const;

    Session& session_;
    WindowManager& windows_;
    LearnerFit fit_;
};

}  // namespace tabinowa
