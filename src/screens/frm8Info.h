// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The information window: the program's name, the credits of its data and
// where to report a fault; the program's version and the data version of the
// folder beside the one shipped, with the offer to take a newer shipped data
// set. Closed with its title-bar close box.
#include <filesystem>
#include <optional>
#include <string>

#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

class frm8Info final : public Window {
public:
    explicit frm8Info(WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    ui::Form frm;
    ui::Label Label1;
    ui::Label lblMsg1;
    ui::Label lblMsg2;
    ui::Label lblVersion;
    ui::CommandButton cmdTakeData;

    // The shipped data set to offer; found beside the executable unless set (tests).
    void setShippedData(std::filesystem::path folder);

private:
    std::optional<std::filesystem::path> shippedData();
    void showVersions();
    void cmdTakeData_Click();
    void say(const std::string& text);
    std::optional<std::filesystem::path> shippedData_;
    WindowManager& windows_;
};

}  // namespace tabinowa
