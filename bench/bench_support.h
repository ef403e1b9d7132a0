// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the benchmark programs share: the shipped data folder, a 20,000-question
// bank in a temporary program folder, and the reporter that prints the ratios
// to the floors after the table.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/files/records.h"
#include "support/temp_folder.h"

namespace tabinowa::bench {

// The repository's data/ folder (it may lack what a benchmark wants). The
// build names the source folder: __FILE__ may be relative to the build folder.
inline std::filesystem::path shippedData() {
    return std::filesystem::path(TABINOWA_SOURCE_DIR) / "data";
}

// "１２３" for 123.
inline std::string fullWidth(int n) {
    static const char* digits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    std::string s;
    for (char c : std::to_string(n)) s += digits[c - '0'];
    return s;
}

// 20,000 questions in a temporary program folder; every seventh is removed.
struct QuestionBank {
    testing::TempProgramFolder folder;
    QuestionBank() {
        std::string bytes;
        Mondai m;
        m.Mondai1 = "【読み】";
        m.Mondai2 = "札幌市の読みは？";
        m.Kotae = "さっぽろし";
        for (int i = 1; i <= 20000; ++i) {
            m.InyoNo = static_cast<std::int16_t>(i % 30000);
            m.Syokyo = static_cast<std::int16_t>(i % 7 == 0);
            bytes += m.encode("bench");
        }
        testing::writeBytes(folder.folders().questionRecords(), bytes);
    }
};

inline QuestionBank& questionBank() {
    static QuestionBank b;
    return b;
}

// Keeps each benchmark's time per iteration, real and CPU, by name (arguments
// included, as "BM_X/name:1"): the single run, or with repetitions the
// median. Runs stopped by an error are left out. After the table it calls
// `ratios`, which prints what the program compares.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::function<void(const RatioReporter&)> ratios) : ratios_(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.error_occurred) continue;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            const std::string name = r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
            real_[name] = r.GetAdjustedRealTime();
            cpu_[name] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (ratios_) ratios_(*this);
    }

    // 0 when the benchmark did not run or failed.
    double real(const std::string& name) const { return get(real_, name); }
    double cpu(const std::string& name) const { return get(cpu_, name); }

private:
    static double get(const std::map<std::string, double>& t, const std::string& name) {
        const auto it = t.find(name);
        return it == t.end() ? 0 : it->second;
    }
    std::function<void(const RatioReporter&)> ratios_;
    std::map<std::string, double> real_, cpu_;
};

// Runs the benchmarks the command line selects, then the ratios.
inline int runBenchmarks(int argc, char** argv, std::function<void(const RatioReporter&)> ratios) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(ratios));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace tabinowa::bench
