// SPDX-License-Identifier: GPL-3.0-or-later
// The question build over any master "問題.csv", in an in-memory program
// folder that already holds a question file and a point file of an earlier
// run. Either the build fails with FileError and every file (and the point
// total) is exactly as before, or it succeeds and "問題.ran" holds whole
// records that decode, every one active, "point.csv" holds 0, the deck counts
// match, and no temporary file is left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "core/build/builds.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/error.h"
#include "core/files/folders.h"
#include "core/files/records.h"
#include "support/memory_io.h"

using namespace tabinowa;
using tabinowa::testing::MemoryIo;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_question_build: %s\n", what);
    std::abort();
}

// An earlier question file: one removed question, then a partial record.
std::string oldQuestionFile() {
    Mondai m;
    m.Inyo = "旧";
    m.InyoNo = 3;
    m.Mondai1 = "前の問題";
    m.Syokyo = 1;
    return m.encode("fuzz") + "partial";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string oldRecords = oldQuestionFile();

    // One program folder and Session for all runs (a Session is costly to make):
    // every file is put back below, and the checks use no state of earlier runs.
    static MemoryIo io;
    static const AppFolders folders{"/p"};
    static MtRandom random(1);
    static Session session = [] {
        for (const auto& f : {folders.program, folders.data(), folders.map(), folders.work()}) io.addFolder(f);
        return Session(folders.program, io, random);
    }();
    random = MtRandom(1);
    io.setFile(folders.questionMaster(), std::string(reinterpret_cast<const char*>(data), size));
    io.setFile(folders.questionRecords(), oldRecords);
    io.setFile(folders.pointFile(), " 1500\r\n");
    const std::map<std::filesystem::path, std::string> before = io.files();
    session.points = 1500;

    std::string message;
    try {
        // A master far smaller than the files it replaces asks first: the
        // answer alternates, so both the refusal and the build are tried.
        message = buildQuestionFile(session, [](const std::string&) {
            static bool yes = false;
            return yes = !yes;
        });
        if (message == kBuildDeclined) {
            if (io.files() != before) fail("a declined build changed the files");
            return 0;
        }
    } catch (const FileError& e) {
        if (io.files() != before) fail("a failed build changed the files");
        if (session.points != 1500) fail("a failed build changed the point total");
        return 0;
    }

    const auto& files = io.files();
    if (files.size() != before.size()) fail("files left behind or missing after the build");
    for (const auto& [path, bytes] : before)
        if (!files.count(path)) fail("a file went missing");
    if (files.at(folders.questionMaster()) != before.at(folders.questionMaster())) fail("the master was changed");
    if (files.at(folders.pointFile()) != " 0\r\n") fail("point.csv does not hold 0");
    if (session.points != 0) fail("the point total is not 0");

    const std::string& records = files.at(folders.questionRecords());
    if (records.size() % Mondai::kLength != 0) fail("the question file ends in a partial record");
    const std::size_t count = records.size() / Mondai::kLength;
    for (std::size_t n = 0; n < count; ++n) {
        Mondai m;
        try {
            m = Mondai::decode(std::string_view(records).substr(n * Mondai::kLength, Mondai::kLength), "fuzz");
        } catch (const FileError&) {
            fail("a built question record does not decode");
        }
        if (m.Syokyo != 0 || m.SentakuSu != 4) fail("a built question is not active with 4 choices");
        if (m.KotaeLen != m.SentakuLen[3]) fail("KotaeLen differs from SentakuLen4");
    }
    if (static_cast<std::size_t>(session.quiz.totalCount) != count ||
        static_cast<std::size_t>(session.quiz.deckLength) != count)
        fail("the deck does not count the built records");
    if (message != std::to_string(count) + "  " + std::to_string(count) + "件　終了") fail("wrong result text");
    return 0;
}
