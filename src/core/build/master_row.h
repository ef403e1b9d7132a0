// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row of a master file as the builds read it: untyped values taken from
// the field stream, each with the line it came from, and the conversions the
// builds need (to 16/32-bit integers, to a length in characters) with messages
// that name the file, the line and the column at fault.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/files/text_file.h"

namespace tabinowa::build {

class MasterRow {
public:
    // Reads the next `columns` fields. Throws FileError when the file ends
    // inside them or a field holds bytes that are not CP932.
    MasterRow(FieldReader& reader, int columns);

    const Value& at(int column) const { return fields_[static_cast<std::size_t>(column - 1)]; }  // 1-based
    // A field's text; a 0 byte in it (which no record's text may hold) is an error.
    std::string text(int column) const;
    int lineOf(int column) const { return lines_[static_cast<std::size_t>(column - 1)]; }
    int firstLine() const { return lines_.empty() ? 0 : lines_.front(); }
    const std::string& fileName() const { return fileName_; }

    // Rounded half to even; the empty value gives 0; text that is not a number
    // or a result outside the type's range is an error.
    std::int16_t int16(int column) const;
    std::int32_t int32(int column) const;
    // Length in characters of the column as read (a number as its decimal text).
    std::int16_t length(int column) const;

    // "ファイル「x」のN行目（C列目）"
    std::string where(int column) const;

private:
    std::int64_t integer(int column, std::int64_t lo, std::int64_t hi) const;

    std::vector<Value> fields_;
    std::vector<int> lines_;
    std::string fileName_;
};

// "ファイル「x」のN行目"
std::string lineLabel(const std::string& fileName, int line);

// Runs `read` (the reading of a master); a refusal it makes without a way
// out (a line cut short, a byte that is not CP932, a number out of range)
// leaves with the master's: nothing was changed, mend it or take the shipped one.
void withMasterRepair(const std::function<void()>& read);

}  // namespace tabinowa::build
