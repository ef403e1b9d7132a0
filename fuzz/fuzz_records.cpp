// SPDX-License-Identifier: GPL-3.0-or-later
// The record decoders the program runs, over any bytes: a question, a municipality with its
// moving KyuSu, a visit mark. What decodes must encode again to a record of
// the same length (or be refused with FileError), and decode to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/files/error.h"
#include "core/files/records.h"

using namespace tabinowa;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int kind = data[0] % 3;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        if (kind == 0) {
            Mondai m = Mondai::decode(bytes, "fuzz");
            std::string again = m.encode("fuzz");
            if (again.size() != Mondai::kLength) std::abort();
            if (Mondai::decode(again, "fuzz").Syokyo != m.Syokyo) std::abort();
            if (MondaiView(bytes).removed() != m.removed()) std::abort();
        } else if (kind == 1) {
            City c = City::decode(bytes, "fuzz");
            // what the map and the game take of the same bytes decodes too, to the same values
            const City lists = City::decode(bytes, "fuzz", CityFields::Lists, Descriptions::Skip);
            if (lists.KyuSu != c.KyuSu || lists.RecNo != c.RecNo || lists.CityName != c.CityName ||
                lists.Jinko != c.Jinko)
                std::abort();
            for (int k = 1; k <= c.KyuSu; ++k)
                if (lists.KyuNames[k] != c.KyuNames[k] || lists.KyuTextLen[k] != c.KyuTextLen[k]) std::abort();
            std::string again = c.encode("fuzz");
            if (again.size() != City::kLength) std::abort();
            City back = City::decode(again, "fuzz");
            if (back.KyuSu != c.KyuSu || back.Jinko != c.Jinko) std::abort();
        } else {
            if (bytes.size() < Homon::kLength) return 0;
            Homon h = Homon::decode(bytes);
            if (HomonView(bytes).visited() != (h.Homon != 0)) std::abort();
            if (Homon::decode(h.encode()).HomonRec2 != h.HomonRec2) std::abort();
        }
    } catch (const FileError&) {
    }
    return 0;
}
