// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing the masters: comma-separated lines in the program's dialect (texts
// in double quotes with no quote or line break inside, numbers bare, CR LF),
// CP932 on disk, each file written under a temporary name and renamed.
#include <QString>
#include <string>
#include <vector>

namespace makedata {

// Characters that CP932 cannot hold, replaced by their usual stand-ins; every
// replacement made is recorded for the run report.
class TextPolicy {
public:
    // The text made writable: a double quote becomes a full-width one, a line
    // break an ideographic blank, and characters outside CP932 their stand-in.
    // Throws std::runtime_error for a character with no stand-in.
    std::string clean(const std::string& utf8);
    // Each change once, in the order first met.
    const std::vector<std::string>& changes() const { return changes_; }

private:
    void note(const std::string& change);
    std::vector<std::string> changes_;
};

class CsvLine {
public:
    explicit CsvLine(TextPolicy& policy) : policy_(policy) {}
    CsvLine& text(const std::string& utf8);   // quoted
    CsvLine& number(long long n);             // bare
    CsvLine& empty();                         // nothing between the commas
    int fields() const { return fields_; }
    std::string str() const { return line_ + "\r\n"; }

private:
    void sep();
    TextPolicy& policy_;
    std::string line_;
    int fields_ = 0;
};

// Length of a UTF-8 text in CP932 bytes (the text must be encodable).
std::size_t cp932Bytes(const std::string& utf8);

// The longest leading part of a text of at most `maxBytes` CP932 bytes.
std::string cutToBytes(const std::string& utf8, std::size_t maxBytes);

// The first n characters (code points).
std::string firstChars(const std::string& utf8, std::size_t n);
std::size_t chars(const std::string& utf8);

// Converts the UTF-8 text to CP932 and writes it to `path` through a
// temporary file in the same folder. Throws std::runtime_error on failure.
void writeCp932File(const QString& path, const std::string& utf8);

}  // namespace makedata
