// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keyboard side of a window: keys that run a handler (inside the
// window's guard, as a click does), the one-line legend that names them at
// the foot of the window, tooltips, and Enter on a focused button.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"

namespace tabinowa::ui {

class Keys {
public:
    explicit Keys(Form& form);
    ~Keys();
    Keys(const Keys&) = delete;
    Keys& operator=(const Keys&) = delete;

    // `keys`: one or more keys in the portable text form, separated by
    // commas ("Space,Return,Enter", "Ctrl+Z", "Left"). The handler runs while
    // the window is the active one. Space and Enter press the focused button
    // instead, when a button has the keyboard; the arrows run the handler
    // only while a button (or nothing) has it, never from a list or a map.
    void add(const std::string& keys, std::function<void()> handler);

    // Presses a key as the user would: the window is made active and the key
    // goes to its focused control. True when one of the window's keys ran.
    bool press(const std::string& key);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// A line of text below the client area (the window grows by one line for
// it; the client area keeps its size).
void addLegend(Form& form, const std::string& text);
// The legend's text ("" when the window has none).
std::string legend(const Form& form);

void setToolTip(Widget& w, const std::string& tip);
std::string toolTip(const Widget& w);

// Enter (or Return) on a focused command button of the window clicks it.
void enterClicksFocusedButton(Form& form);
// All a window tells of its keys: each control's tooltip, the legend, and
// Enter on a focused button.
struct KeyTip {
    Widget* widget;
    std::string tip;
};
void describeKeys(Form& form, const std::vector<KeyTip>& tips, const std::string& legend);
// The order in which Tab moves through the controls.
void setTabOrder(const std::vector<Widget*>& order);
// Gives the keyboard focus to a control (and makes its window active).
void focus(Widget& w);
bool hasFocus(const Widget& w);

}  // namespace tabinowa::ui
