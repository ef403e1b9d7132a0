// SPDX-License-Identifier: GPL-3.0-or-later
// The field reader over any bytes: every kind of target until the end of the
// file, and nothing but FileError may come out of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/files/error.h"
#include "core/files/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    tabinowa::FieldReader reader(bytes, "fuzz.csv");
    try {
        for (int i = 0; !reader.atEnd() && i < 100000; ++i) {
            switch (i % 4) {
                case 0: reader.readValue(); break;
                case 1: reader.readText(); break;
                case 2: reader.readInt16(); break;
                default: reader.readInt32(); break;
            }
        }
    } catch (const tabinowa::FileError&) {
    }
    return 0;
}
