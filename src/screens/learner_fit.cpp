// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/learner_fit.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <unordered_map>

#include "core/files/error.h"
#include "core/quiz/review.h"

namespace tabinowa {

namespace {
constexpr int kSlice = 5000;  // rows of the log read in one tick (a few milliseconds)
}

struct LearnerFit::Shared {
    std::vector<fsrs::LoggedAnswer> log;
    std::unordered_map<std::string, int> counted;  // answers each card counts (right + wrong)
    std::int64_t lastRow = 0;
    std::atomic<bool> logRead{false};
    std::atomic<bool> readFailed{false};
    std::atomic<double> done{0};
    fsrs::FitResult result;
    std::int32_t day = 0;
};

LearnerFit::LearnerFit(Session& session, ui::Form& form, std::function<void(const std::string&)> status)
    : session_(session), status_(std::move(status)), task_(form) {}

LearnerFit::~LearnerFit() = default;

bool LearnerFit::running() const { return task_.running(); }

bool LearnerFit::dueToday(Session& session) {
    if (!session.memory.autoFit()) return false;
    const auto last = session.memory.lastFit();
    return !last || last->day < session.today();
}

std::string LearnerFit::metricsText(const fsrs::Metrics& m) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "対数損失 %.4f　RMSE %.1f％", m.logLoss, m.rmseBins * 100);
    return std::string(buf) + "（" + withCommas(m.answers) + "回）";
}

std::string LearnerFit::summary(Session& session) {
    std::string weights = session.memory.book().weights ? "あなたに合わせた重みで復習の間隔を決めています。"
                                                         : "標準の重みで復習の間隔を決めています。";
    const auto last = session.memory.lastFit();
    if (!last) return weights;
    if (last->before.answers < fsrs::kMinPredictedAnswers)
        return weights + "\r\n日をおいた解答が" + withCommas(last->before.answers) + "回です。" +
               withCommas(fsrs::kMinPredictedAnswers) + "回になると、あなたに合わせた重みを計算します。";
    return weights + "\r\n前回：" + metricsText(last->before) + "\r\n　→　" + metricsText(last->after) +
           (last->taken ? "" : "（よくならないため標準のまま）");
}

bool LearnerFit::start(bool automatic) {
    if (task_.running()) return false;
    // A daily fit waits for a log that can hold enough answers (one count, no reading).
    if (automatic && (session_.memory.logCount() < fsrs::kMinPredictedAnswers || !dueToday(session_))) return false;
    auto s = std::make_shared<Shared>();
    s->day = session_.today();
    for (const auto& [key, c] : session_.memory.book().cards) s->counted.emplace(key, c.right + c.wrong);
    shared_ = s;
    status_("あなたの解答を読んでいます…");
    auto work = [s](const std::atomic<bool>& stop) {
        while (!s->logRead && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (stop || s->readFailed) return;
        // Cards whose answers the log does not hold whole (carried over from
        // the old text memory) would be replayed from the middle: left out.
        std::unordered_map<std::string, int> logged;
        for (const auto& a : s->log)
            if (a.outcome >= 0 && a.outcome <= 3) ++logged[a.key];
        std::vector<fsrs::LoggedAnswer> whole;
        whole.reserve(s->log.size());
        for (auto& a : s->log) {
            auto c = s->counted.find(a.key);
            if (c == s->counted.end() || c->second == logged[a.key]) whole.push_back(std::move(a));
        }
        const auto cards = fsrs::histories(whole);
        fsrs::FitOptions o;
        o.progress = [&](double done) {
            s->done = done;
            return !stop;
        };
        s->result = fsrs::fitWeights(cards, o);
    };
    auto tick = [this, s] {
        if (!s->logRead) {
            // one slice of the log a tick, on the window's thread (the database is its)
            const auto before = s->log.size();
            try {
                s->lastRow = session_.memory.readLog(s->lastRow, kSlice, s->log);
            } catch (...) {
                s->readFailed = true;
                s->logRead = true;
                throw;  // the window's guard shows it
            }
            if (s->log.size() - before < static_cast<std::size_t>(kSlice)) s->logRead = true;
            status_("あなたの解答を読んでいます…　" + withCommas(static_cast<long long>(s->log.size())) + "回");
            return;
        }
        status_("あなたの解答に重みを合わせています…　" + std::to_string(static_cast<int>(s->done * 100)) + "％");
    };
    auto done = [this, s] {
        const auto& r = s->result;
        if (s->readFailed) return;
        if (r.stopped) {
            status_("重みの計算をやめました。");
            return;
        }
        FitRecord rec;
        rec.day = s->day;
        rec.before = r.before;
        rec.after = r.after;
        rec.taken = r.improved;
        if (!r.enough) {
            status_("日をおいた解答が" + withCommas(r.before.answers) + "回です。" +
                    withCommas(fsrs::kMinPredictedAnswers) + "回になると、あなたに合わせた重みを計算します。");
            try {
                session_.memory.recordFit(rec, std::nullopt);
            } catch (const FileError& e) {
                status_(e.what());
            }
            return;
        }
        try {
            session_.memory.recordFit(rec, r.improved ? std::optional<fsrs::Weights>(r.weights) : std::nullopt);
        } catch (const FileError& e) {
            status_(std::string("重みを記録できませんでした。") + e.what());
            return;
        }
        status_(summary(session_));
    };
    try {
        return task_.start(std::move(work), std::move(tick), std::move(done), 30);
    } catch (const FileError& e) {
        status_(e.what());
        return false;
    }
}

}  // namespace tabinowa
