// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The windows of one run and the ways between them: one instance per window,
// showing an open window brings it to the front, showing an unloaded one loads
// it (its load step runs inside its guard), the return-to-menu sequence and the
// end of the program. main owns the one WindowManager; screens get it by reference.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/session/session.h"
#include "ui/form.h"

namespace tabinowa {

// What the manager needs of a window.
class Window {
public:
    virtual ~Window() = default;
    virtual ui::Form& form() = 0;
    // The window's load step, run inside its guard before it is first shown.
    virtual void load() {}
};

enum class WindowId { Main, Sogo, CityVisit, Tizu, Kankyo, Info, Doko, Review, Stats, Help, Paper };

class frm1Main;
class frm2Sogo;
class frm9Kankyo;
class frm8Info;
class frm2Fukusyu;
class frm2Toukei;
class frm8Help;
class frm3Insatu;

class WindowManager {
public:
    // `endProgram` stops the event loop (ui::Application::quit in the program).
    WindowManager(Session& session, std::function<void()> endProgram);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    Session& session() { return session_; }

    // Asks before an action that discards progress; true when the user agreed.
    // The form's own dialog unless a test has put in its own answer.
    using Confirmer = std::function<bool(ui::Form& owner, const std::string& question)>;
    void setConfirmer(Confirmer confirmer) { confirmer_ = std::move(confirmer); }
    bool confirm(ui::Form& owner, const std::string& question) {
        return confirmer_ ? confirmer_(owner, question) : owner.confirm(question);
    }

    // Program start: the main menu is loaded and shown.
    void start() { showMain(); }

    frm1Main& showMain();
    frm2Sogo& showSogo();
    frm9Kankyo& showKankyo();
    frm8Info& showInfo();
    frm8Help& showHelp();
    // The visit game and the map; true once the window is shown.
    bool showVisitGame();
    bool showMap();
    // "どこでしょう", opened beside the menu as the map is.
    bool showWhere();
    // The review and the statistics.
    frm2Fukusyu& showReview();
    frm2Toukei& showStats();
    // 印刷・PDF, opened from the map and from どこでしょう with their map chosen
    // (a prefecture 1..47, kRegionAreaBase + a region, kJapanArea; -1 none).
    frm3Insatu& showPaper(int area = -1);

    // Hides the window at once and destroys it (closing its files) as soon as
    // its own handlers have returned.
    void unload(WindowId id);
    // Return-to-menu sequence: the caller has closed its files; set the
    // start-up flag, show the main menu (loading it if it was unloaded),
    // unload the caller.
    void returnToMenu(WindowId caller);
    // Ends the program from any state: every window is unloaded without
    // running its handlers, then the event loop stops.
    void endProgram();

    bool isLoaded(WindowId id) const { return windows_[index(id)] != nullptr; }
    Window* window(WindowId id) const { return windows_[index(id)].get(); }
    frm1Main* main() const;
    frm2Sogo* sogo() const;
    frm9Kankyo* kankyo() const;
    frm8Info* info() const;
    frm2Fukusyu* review() const;
    frm2Toukei* stats() const;
    frm8Help* help() const;
    frm3Insatu* paper() const;

private:
    static std::size_t index(WindowId id) { return static_cast<std::size_t>(id); }
    // Brings an open window to the front, or makes, loads and shows it.
    Window& show(WindowId id, const std::function<std::unique_ptr<Window>()>& make);
    static void addReturnKey(ui::Form& form);

    Session& session_;
    std::function<void()> endProgram_;
    Confirmer confirmer_;
    std::array<std::unique_ptr<Window>, 11> windows_;
    // The window that had the keyboard when each was opened: it gets the
    // keyboard back when that one closes (F1's help over the menu, the
    // printing over the map), whatever the desktop does with its windows.
    std::array<std::optional<WindowId>, 11> openedFrom_;
};

}  // namespace tabinowa
