#pragma once
// The information window: the program's name, the credits of its data and
// where to report a fault. Closed with its title-bar close box.
#include "shell/window_manager.h"
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

private:
    WindowManager& windows_;
};

}  // namespace tabinowa
