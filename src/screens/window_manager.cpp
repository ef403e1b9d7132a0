// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/window_manager.h"

#include "screens/frm2CityVisit.h"
#include "screens/frm2Doko.h"
#include "screens/frm2Tizu.h"
#include "screens/frm2Fukusyu.h"
#include "screens/frm2Sogo.h"
#include "screens/frm2Toukei.h"
#include "screens/frm3Insatu.h"
#include "screens/frm1Main.h"
#include "screens/frm8Help.h"
#include "screens/frm8Info.h"
#include "screens/frm9Kankyo.h"
#include "ui/keys.h"

namespace tabinowa {

WindowManager::WindowManager(Session& session, std::function<void()> endProgram)
    : session_(session), endProgram_(std::move(endProgram)) {}

WindowManager::~WindowManager() {
    for (auto& w : windows_) w.reset();
}

Window& WindowManager::show(WindowId id, const std::function<std::unique_ptr<Window>()>& make) {
    auto& slot = windows_[index(id)];
    if (slot) {
        slot->form().show();
        return *slot;
    }
    openedFrom_[index(id)].reset();
    for (std::size_t i = 0; i < windows_.size(); ++i)
        if (windows_[i] && windows_[i]->form().isActive()) openedFrom_[index(id)] = static_cast<WindowId>(i);
    slot = make();
    Window& w = *slot;
    if (id == WindowId::Tizu || id == WindowId::Kankyo || id == WindowId::Info || id == WindowId::Doko ||
        id == WindowId::Paper || id == WindowId::Help)
        addReturnKey(w.form());
    w.form().run([&w]() { w.load(); });
    w.form().show();
    return w;
}

// The windows without keys of their own: Esc presses the close box (their
// way back), Enter the focused button, and a legend says so.
void WindowManager::addReturnKey(ui::Form& form) {
    ui::Keys keys(form);
    keys.add("Escape", [&form] { form.closeBox(); });
    ui::enterClicksFocusedButton(form);
    ui::addLegend(form, "Tab：移動（リストは↑↓で選ぶ）　Enter：ボタンを押す　Esc：閉じる");
}

frm1Main& WindowManager::showMain() {
    return static_cast<frm1Main&>(
        show(WindowId::Main, [this]() { return std::make_unique<frm1Main>(session_, *this); }));
}

frm2Sogo& WindowManager::showSogo() {
    return static_cast<frm2Sogo&>(
        show(WindowId::Sogo, [this]() { return std::make_unique<frm2Sogo>(session_, *this); }));
}

frm9Kankyo& WindowManager::showKankyo() {
    return static_cast<frm9Kankyo&>(
        show(WindowId::Kankyo, [this]() { return std::make_unique<frm9Kankyo>(session_, *this); }));
}

frm8Info& WindowManager::showInfo() {
    return static_cast<frm8Info&>(
        show(WindowId::Info, [this]() { return std::make_unique<frm8Info>(*this); }));
}

frm8Help& WindowManager::showHelp() {
    return static_cast<frm8Help&>(
        show(WindowId::Help, [this]() { return std::make_unique<frm8Help>(session_, *this); }));
}

bool WindowManager::showVisitGame() {
    show(WindowId::CityVisit, [this]() { return std::make_unique<frm2CityVisit>(session_, *this); });
    return true;
}

bool WindowManager::showMap() {
    show(WindowId::Tizu, [this]() { return std::make_unique<frm2Tizu>(session_, *this); });
    return true;
}

bool WindowManager::showWhere() {
    show(WindowId::Doko, [this]() { return std::make_unique<frm2Doko>(session_, *this); });
    return true;
}

frm2Fukusyu& WindowManager::showReview() {
    return static_cast<frm2Fukusyu&>(
        show(WindowId::Review, [this]() { return std::make_unique<frm2Fukusyu>(session_, *this); }));
}

frm2Toukei& WindowManager::showStats() {
    return static_cast<frm2Toukei&>(
        show(WindowId::Stats, [this]() { return std::make_unique<frm2Toukei>(session_, *this); }));
}

frm3Insatu& WindowManager::showPaper(int area) {
    auto& w = static_cast<frm3Insatu&>(
        show(WindowId::Paper, [this]() { return std::make_unique<frm3Insatu>(session_, *this); }));
    w.form().run([&w, area] {
        w.selectDefaults();
        if (area >= 0) w.chooseArea(area);
    });
    return w;
}

void WindowManager::unload(WindowId id) {
    auto& slot = windows_[index(id)];
    if (!slot) return;
    std::shared_ptr<Window> w(std::move(slot));
    ui::Form& form = w->form();
    const bool hadKeyboard = form.isActive();
    form.unload();
    if (const auto from = openedFrom_[index(id)];
        hadKeyboard && from && windows_[index(*from)] && windows_[index(*from)]->form().isShown())
        windows_[index(*from)]->form().raise();
    // A window unloaded from inside its own handler goes when that handler returns.
    form.whenIdle([w]() mutable { w.reset(); });
}

void WindowManager::returnToMenu(WindowId caller) {
    session_.setStartupFlag();
    showMain();
    unload(caller);
}

void WindowManager::endProgram() {
    for (std::size_t i = 0; i < windows_.size(); ++i) unload(static_cast<WindowId>(i));
    if (endProgram_) endProgram_();
}

frm1Main* WindowManager::main() const { return static_cast<frm1Main*>(window(WindowId::Main)); }
frm2Sogo* WindowManager::sogo() const { return static_cast<frm2Sogo*>(window(WindowId::Sogo)); }
frm9Kankyo* WindowManager::kankyo() const { return static_cast<frm9Kankyo*>(window(WindowId::Kankyo)); }
frm8Info* WindowManager::info() const { return static_cast<frm8Info*>(window(WindowId::Info)); }
frm2Fukusyu* WindowManager::review() const { return static_cast<frm2Fukusyu*>(window(WindowId::Review)); }
frm2Toukei* WindowManager::stats() const { return static_cast<frm2Toukei*>(window(WindowId::Stats)); }
frm3Insatu* WindowManager::paper() const { return static_cast<frm3Insatu*>(window(WindowId::Paper)); }
frm8Help* WindowManager::help() const { return static_cast<frm8Help*>(window(WindowId::Help)); }

}  // namespace tabinowa
