// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/paper/question_sheet.h"

#include <algorithm>

#include "core/map/city_table.h"
#include "core/quiz/choice.h"
#include "core/quiz/questions.h"

namespace tabinowa::paper {

std::string choiceLetter(int position) {
    static const char* const kLetters[] = {"ア", "イ", "ウ", "エ"};
    return position >= 0 && position < 4 ? kLetters[position] : "";
}

std::vector<int> pickQuestions(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today,
                               const QuestionPick& pick, Random& random) {
    const auto count = static_cast<std::size_t>(std::clamp(pick.count, kMinQuestions, kMaxQuestions));
    std::vector<int> out;
    switch (pick.source) {
    case QuestionSource::Review:
        out = buildReviewQueue(bank, book, today).records;
        break;
    case QuestionSource::Kind:
    case QuestionSource::Prefecture: {
        ReviewFilter filter;
        if (pick.source == QuestionSource::Kind) filter.kind = pick.kind;
        else filter.prefecture = pick.prefecture;
        if (pick.source == QuestionSource::Prefecture && pick.prefecture == 0) break;
        for (const auto& q : bank)
            if (!q.removed && filter.accepts(q)) out.push_back(q.record);
        // Fisher–Yates, from the end.
        for (std::size_t i = out.size(); i > 1; --i) {
            auto j = static_cast<std::size_t>(random.uniform() * static_cast<double>(i));
            if (j >= i) j = i - 1;
            std::swap(out[i - 1], out[j]);
        }
        break;
    }
    case QuestionSource::Mistakes: {
        struct Missed {
            int record;
            bool last;
            int wrong;
        };
        std::vector<Missed> missed;
        for (const auto& q : bank) {
            if (q.removed) continue;
            const Card* c = book.find(q.key);
            if (c != nullptr && c->wrong > 0 && !c->mastered) missed.push_back({q.record, c->lastWrong, c->wrong});
        }
        std::stable_sort(missed.begin(), missed.end(), [](const Missed& a, const Missed& b) {
            return a.last != b.last ? a.last : a.wrong > b.wrong;
        });
        for (const auto& m : missed) out.push_back(m.record);
        break;
    }
    }
    if (out.size() > count) out.resize(count);
    return out;
}

namespace {

std::string trimmedText(std::string s) { return trimmedName(std::move(s)); }

// Splits at CR LF (or LF) and trims each paragraph; empty ones go.
std::vector<std::string> paragraphs(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        if (!part.empty() && part.back() == '\r') part.pop_back();
        part = trimmedText(part);
        if (!part.empty()) out.push_back(part);
        start = end + 1;
    }
    return out;
}

}  // namespace

SheetQuestion sheetQuestion(const Mondai& m, int number, Random& random) {
    SheetQuestion q;
    q.number = number;
    q.text = paragraphs(questionText(m));
    const std::string answer = trimmedText(m.Kotae);
    if (auto choices = choicesOf(m, random)) {
        for (const auto& t : choices->texts) q.choices.push_back(trimmedText(t));
        q.answer = choiceLetter(choices->correct) + "　" + q.choices[static_cast<std::size_t>(choices->correct)];
    } else {
        q.answer = answer;
    }
    q.explanation = trimmedText(m.Kaisetu);
    q.source = trimmedText(sourceLine(m));
    return q;
}

namespace {

struct Flow {
    std::vector<Page>& pages;
    Box content;
    std::string heading;
    double y = 0;

    void newPage() {
        pages.emplace_back();
        Page& p = pages.back();
        p.texts.push_back({{content.left, content.top + 3.5}, heading, 13, Align::Left, Face::Gothic, true});
        y = content.top + 9;
        p.lines.push_back({{content.left, y - 1.5}, {content.right, y - 1.5}, 0.3});
    }
    // Room for `h` mm more on this page, else a new one.
    void need(double h) {
        if (pages.empty() || y + h > content.bottom - 6) newPage();
    }
    void line(double x, const std::string& text, double pt, bool bold = false, Align align = Align::Left) {
        const double h = lineHeightMm(pt);
        need(h);
        pages.back().texts.push_back({{x, y + h / 2}, text, pt, align, Face::Gothic, bold});
        y += h;
    }
    void paragraph(double x, const std::string& text, double pt) {
        for (const auto& l : wrapText(text, content.right - x, pt)) line(x, l, pt);
    }
};

void numberPages(std::vector<Page>& pages, std::size_t from, std::size_t to, const Box& content) {
    const std::size_t total = to - from;
    for (std::size_t i = from; i < to; ++i)
        pages[i].texts.push_back({{(content.left + content.right) / 2, content.bottom - 2},
                                  std::to_string(i - from + 1) + " / " + std::to_string(total), 8, Align::Centre});
}

}  // namespace

std::vector<Page> questionSheetPages(const std::string& title, const std::vector<SheetQuestion>& questions,
                                     const PaperSize& paper, std::size_t* keyFirst) {
    std::vector<Page> pages;
    const Box content{kMarginMm, kMarginMm, paper.widthMm() - kMarginMm, paper.heightMm() - kMarginMm};
    const double indent = 10;

    Flow sheet{pages, content, title + "　問題", 0};
    sheet.newPage();
    pages.back().texts.push_back({{content.right, content.top + 3.5}, "名前（　　　　　　　　　　）", 10, Align::Right});
    for (const auto& q : questions) {
        // Keep a question's number with its first line and choices together when they fit.
        double h = lineHeightMm(kQuestionPt) * 1.0;
        for (const auto& p : q.text) h += wrapText(p, content.width() - indent, kQuestionPt).size() * lineHeightMm(kQuestionPt);
        h += static_cast<double>(q.choices.size()) * lineHeightMm(kChoicePt) + 3;
        if (h < content.height() - 20) sheet.need(h);
        const std::string label = "問" + std::to_string(q.number);
        sheet.need(lineHeightMm(kQuestionPt));
        pages.back().texts.push_back({{content.left, sheet.y + lineHeightMm(kQuestionPt) / 2}, label, kQuestionPt,
                                      Align::Left, Face::Gothic, true});
        for (const auto& p : q.text) sheet.paragraph(content.left + indent, p, kQuestionPt);
        for (std::size_t c = 0; c < q.choices.size(); ++c)
            sheet.paragraph(content.left + indent + 3, choiceLetter(static_cast<int>(c)) + "　" + q.choices[c], kChoicePt);
        if (q.choices.empty()) sheet.line(content.left + indent + 3, "答え（　　　　　　　　　　　　　　　　）", kChoicePt);
        sheet.y += 3;
    }
    const std::size_t keyAt = pages.size();
    numberPages(pages, 0, keyAt, content);
    if (keyFirst != nullptr) *keyFirst = keyAt;

    Flow key{pages, content, title + "　答えと解説", 0};
    key.newPage();
    for (const auto& q : questions) {
        key.need(lineHeightMm(kAnswerPt) * 2);
        const std::string label = "問" + std::to_string(q.number);
        pages.back().texts.push_back({{content.left, key.y + lineHeightMm(kAnswerPt) / 2}, label, kAnswerPt,
                                      Align::Left, Face::Gothic, true});
        key.paragraph(content.left + indent, "答え：" + q.answer, kAnswerPt);
        if (!q.explanation.empty()) key.paragraph(content.left + indent, "解説：" + q.explanation, kAnswerPt - 1);
        if (!q.source.empty()) key.paragraph(content.left + indent, "出典：" + q.source, kAnswerPt - 2);
        key.y += 2.5;
    }
    numberPages(pages, keyAt, pages.size(), content);
    return pages;
}

}  // namespace tabinowa::paper
