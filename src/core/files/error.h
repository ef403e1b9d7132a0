// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one error type of the program: a file or data problem, carrying a
// Japanese message (UTF-8) that names the file and, where known, the line,
// field or record at fault. Every window's handler guard shows what() in its
// own message label.
#include <stdexcept>
#include <string>

namespace tabinowa {

class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tabinowa
