#pragma once
// Four buttons to answer a question by choice (click or the keys 1 to 4), and
// the switch between answering by choice and judging oneself, remembered in
// the learner's settings (a first start judges oneself).
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/session.h"
#include "quiz/choice.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

class ChoicePanel {
public:
    // The four buttons fill `box` as a column (or a 2 x 2 grid with `grid`).
    ChoicePanel(ui::Container& parent, ui::Rect box, bool grid = false);

    // Offers the choices: the buttons show "1　…" to "4　…".
    void offer(const Choices& c);
    void hide();
    // True while choices are offered and none was picked yet.
    bool open() const { return choices_.has_value() && !picked_; }
    const std::optional<Choices>& choices() const { return choices_; }

    // Picks position 0..3: the buttons show 〇 at the right one and × at a
    // wrong pick, and the handler gets the position. False when nothing is open.
    bool pick(int position);
    void onPick(std::function<void(int position)> handler) { handler_ = std::move(handler); }

    std::array<ui::CommandButton, 4> buttons;

private:
    std::optional<Choices> choices_;
    bool picked_ = false;
    std::function<void(int)> handler_;
};

// The switch "答え方：自己判断" / "答え方：選択肢" of one screen.
class AnswerModeSwitch {
public:
    // `screen` names the screen in the settings ("training", "game", "review").
    AnswerModeSwitch(ui::Container& parent, ui::Rect box, Session& session, std::string screen);
    bool byChoice() const { return byChoice_; }
    // Flips the mode, remembers it and runs the change handler.
    void toggle();
    void onChange(std::function<void()> handler) { changed_ = std::move(handler); }

    ui::CommandButton button;

private:
    void showCaption();
    Session& session_;
    std::string key_;
    bool byChoice_ = false;
    std::function<void()> changed_;
};

}  // namespace tabinowa
