// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answering a question by choice (four buttons, a click or the keys 1 to 4),
// the same in training, the visit game and the review, and the switch between
// answering by choice and judging oneself, remembered in the learner's
// settings (a first start judges oneself).
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/session/session.h"
#include "core/files/records.h"
#include "screens/answer_clock.h"
#include "core/quiz/choice.h"
#include "core/quiz/memory.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/keys.h"

namespace tabinowa {

// A pick judged against the question's fourth choice (`Sentaku4`).
struct JudgedPick {
    int position = 0;
    bool right = false;
    std::string verdict;      // the pick and the right answer (Choices::verdict)
    std::string explanation;  // the question's own, shown after the verdict
    // Why the memory could not take the pick (told once; the pick is taken all the same).
    std::optional<std::string> memoryProblem;
    // What the pick tells the memory: right = good, wrong = again.
    Outcome outcome() const { return right ? Outcome::Good : Outcome::Again; }
};

class AnswerModeSwitch;

// A pick's explanation with the memory's problem after it, when there is one.
std::string withProblem(const std::string& explanation, const std::optional<std::string>& problem);

// Answering by choice on one screen: offers a question's choices when the
// screen's switch says so, takes a pick (a click or the keys 1 to 4), judges
// it, remembers it when the screen wants, marks the buttons and hands the
// judged pick to the screen, which shows it.
class ChoicePanel {
public:
    // The four buttons fill `box` as a column (or a 2 x 2 grid with `grid`).
    ChoicePanel(ui::Container& parent, ui::Rect box, AnswerModeSwitch& mode, Session& session, bool grid = false);

    // When the switch says "by choice", offers the choices of `m` (none when
    // it has no hint): the buttons show "1　…" to "4　…". True when offered.
    // Otherwise the buttons are hidden.
    bool offerFor(const Mondai& m);
    // Offers them whatever the switch says (the game's hint).
    bool offerAnyway(const Mondai& m);
    void hide();
    // True while choices are offered and none was picked yet.
    bool open() const { return choices_.has_value() && !picked_; }
    const std::optional<Choices>& choices() const { return choices_; }

    // Picks position 0..3. With `remember` (onPick) the pick goes into the
    // memory; should the memory fail, the pick is taken all the same and the
    // judged pick carries the reason. The buttons show 〇 at the right one and
    // × at a wrong pick, and the handler gets the judged pick. False when
    // nothing is open.
    bool pick(int position);
    // What a remembered pick is part of, for the log of answers.
    void setActivity(std::string_view activity) { activity_ = std::string(activity); }
    void onPick(std::function<void(const JudgedPick&)> handler, bool remember) {
        handler_ = std::move(handler);
        remember_ = remember;
    }
    // The keys 1 to 4 pick; with nothing open they go to `otherwise` (when
    // given). Enter on the focused switch flips it, on a focused choice picks it.
    void addKeys(ui::Keys& keys, std::function<void(int position)> otherwise = {});

    std::array<ui::CommandButton, 4> buttons;

private:
    void mark(int position);
    AnswerModeSwitch& mode_;
    Session& session_;
    std::optional<Choices> choices_;
    std::optional<Mondai> question_;
    bool picked_ = false;
    bool remember_ = false;
    std::string activity_;
    AnswerClock clock_;  // from the offer to the pick
    std::function<void(const JudgedPick&)> handler_;
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
    std::string screen_;
    bool byChoice_ = false;
    std::function<void()> changed_;
};

}  // namespace tabinowa
