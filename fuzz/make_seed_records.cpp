// SPDX-License-Identifier: GPL-3.0-or-later
// Seed maker for the fuzz corpora: runs both builds over small masters in
// memory and writes what they produce, so that the record and text seeds are
// real built files rather than hand-made bytes.
//
//   make_seed_records <問題.csv> <市町村.csv> <都道府県データ.csv> <out-folder>
//
// Writes into <out-folder>:
//   record-mondai-<n>  the kind byte 0 and question record n (fuzz_records)
//   record-city-<n>    the kind byte 1 and municipality record n
//   record-homon-<n>   the kind byte 2 and visit mark n
//   range.csv, testlist.csv, point.csv   the built text files (fuzz_field_reader)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
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

std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot read ") + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + folder + "/" + name);
}

// Records 1..limit of a record file, each behind the kind byte.
void writeRecords(const std::string& folder, const std::string& stem, char kind, const std::string& file,
                  std::size_t length, std::size_t limit) {
    for (std::size_t n = 1; n <= limit && n * length <= file.size(); ++n)
        write(folder, stem + std::to_string(n), std::string(1, kind) + file.substr((n - 1) * length, length));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: make_seed_records <問題.csv> <市町村.csv> <都道府県データ.csv> <out-folder>\n";
        return 2;
    }
    try {
        MemoryIo io;
        AppFolders folders{"/p"};
        for (const auto& f : {folders.program, folders.data(), folders.map(), folders.work()}) io.addFolder(f);
        io.setFile(folders.questionMaster(), slurp(argv[1]));
        io.setFile(folders.cityMaster(), slurp(argv[2]));
        io.setFile(folders.prefectureData(), slurp(argv[3]));

        MtRandom random(1);
        Session session(folders.program, io, random);
        std::cout << buildQuestionFile(session) << "\n" << buildCityFiles(session) << "\n";

        const std::string out = argv[4];
        const auto& files = io.files();
        writeRecords(out, "record-mondai-", '\0', files.at(folders.questionRecords()), Mondai::kLength, 2);
        // Record 2 of the sample is a merged municipality: its KyuSu has moved.
        writeRecords(out, "record-city-", '\1', files.at(folders.cityRecords()), City::kLength, 3);
        writeRecords(out, "record-homon-", '\2', files.at(folders.visitMarks()), Homon::kLength, 2);
        write(out, "range.csv", files.at(folders.rangeFile()));
        write(out, "testlist.csv", files.at(folders.cityTestList()));
        write(out, "point.csv", files.at(folders.pointFile()));
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
