// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/window_frame.h"

namespace tabinowa {

void setUpTitle(ui::Label& title, const ui::Font& face) {
    title.setFont(face);
    title.setForeColor(kTitleRed);
}

void setUpWayBack(ui::Form& frm, ui::CommandButton& cmdToMain, const std::function<void()>& back,
                  std::function<void(const std::string&)> tell) {
    cmdToMain.setFont({kWindowGothic, 12, true});
    cmdToMain.onClick(back);
    frm.onCloseBox(back);
    frm.setErrorSink(std::move(tell));
}

}  // namespace tabinowa
