// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/choice_panel.h"

#include "ui/keys.h"
#include "ui/settings.h"

namespace tabinowa {

namespace {
ui::Rect slot(ui::Rect box, int i, bool grid) {
    if (grid) {
        const int w = box.width / 2, h = box.height / 2;
        return {box.left + (i % 2) * w, box.top + (i / 2) * h, w - 60, h - 60};
    }
    const int h = box.height / 4;
    return {box.left, box.top + i * h, box.width, h - 45};
}
const char* const kDigits[] = {"１", "２", "３", "４"};
}  // namespace

ChoicePanel::ChoicePanel(ui::Container& parent, ui::Rect box, AnswerModeSwitch& mode, Session& session, bool grid)
    : buttons{ui::CommandButton(parent, slot(box, 0, grid), ""), ui::CommandButton(parent, slot(box, 1, grid), ""),
              ui::CommandButton(parent, slot(box, 2, grid), ""), ui::CommandButton(parent, slot(box, 3, grid), "")},
      mode_(mode),
      session_(session) {
    for (int i = 0; i < 4; ++i) {
        auto& b = buttons[static_cast<std::size_t>(i)];
        b.setVisible(false);
        b.setFont({"ＭＳ Ｐゴシック", 11.25, false});
        ui::setToolTip(b, std::string("この答えを選ぶ（キー ") + std::to_string(i + 1) + "）");
        b.onClick([this, i] { pick(i); });
    }
}

std::string withProblem(const std::string& explanation, const std::optional<std::string>& problem) {
    if (!problem) return explanation;
    return explanation.empty() ? *problem : explanation + "\r\n" + *problem;
}

bool ChoicePanel::offerFor(const Mondai& m) {
    if (!mode_.byChoice()) {
        hide();
        return false;
    }
    return offerAnyway(m);
}

bool ChoicePanel::offerAnyway(const Mondai& m) {
    hide();
    auto c = choicesOf(m, session_.random);
    if (!c) return false;
    choices_ = std::move(c);
    question_ = m;
    clock_.start();
    for (std::size_t i = 0; i < 4; ++i) {
        buttons[i].setCaption(std::string(kDigits[i]) + "　" + choices_->texts[i]);
        buttons[i].setVisible(true);
    }
    return true;
}

void ChoicePanel::hide() {
    choices_.reset();
    question_.reset();
    picked_ = false;
    for (auto& b : buttons) b.setVisible(false);
}

bool ChoicePanel::pick(int position) {
    if (!open() || position < 0 || position > 3) return false;
    JudgedPick judged{position, choices_->isRight(position), choices_->verdict(position), question_->Kaisetu};
    if (remember_)
        judged.memoryProblem =
            session_.memory.record(*question_, judged.outcome(), session_.today(), activity_, clock_.seconds()).problem;
    picked_ = true;
    mark(position);
    if (handler_) handler_(judged);
    return true;
}

void ChoicePanel::mark(int position) {
    for (int i = 0; i < 4; ++i) {
        const auto& text = choices_->texts[static_cast<std::size_t>(i)];
        std::string mark = "　";
        if (choices_->isRight(i)) mark = "〇";
        else if (i == position) mark = "×";
        buttons[static_cast<std::size_t>(i)].setCaption(mark + "　" + text);
    }
}

void ChoicePanel::addKeys(ui::Keys& keys, std::function<void(int)> otherwise) {
    for (int i = 0; i < 4; ++i)
        keys.add(std::to_string(i + 1), [this, i, otherwise] {
            if (!pick(i) && otherwise) otherwise(i);
        });
}

AnswerModeSwitch::AnswerModeSwitch(ui::Container& parent, ui::Rect box, Session& session, std::string screen)
    : button(parent, box, ""), session_(session), screen_(std::move(screen)) {
    byChoice_ = ui::Settings().answerByChoice(screen_);
    ui::setToolTip(button, "選択肢で答えるか、自分で正誤を判断するかを切り替えます");
    button.onClick([this] { toggle(); });
    showCaption();
}

void AnswerModeSwitch::showCaption() { button.setCaption(byChoice_ ? "答え方：選択肢" : "答え方：自己判断"); }

void AnswerModeSwitch::toggle() {
    byChoice_ = !byChoice_;
    ui::Settings().setAnswerByChoice(screen_, byChoice_);
    showCaption();
    if (changed_) changed_();
}

}  // namespace tabinowa
