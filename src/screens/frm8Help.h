// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help page "遊び方": the three activities, the points of the visit game,
// what the environment window's builds make again and reset, the keys, and
// where the progress is kept. Reached from the information menu and F1.
#include "core/session/session.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

// The text of the page for a program folder (shown at its end).
std::string helpText(const std::filesystem::path& programFolder);

class frm8Help final : public Window {
public:
    frm8Help(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    ui::Form frm;
    ui::Label Label1;
    ui::Label lblText;
    ui::CommandButton cmdClose;

private:
    Session& session_;
    WindowManager& windows_;
};

}  // namespace tabinowa
