// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comma-separated text files, CP932, CR LF. The reader is a stream of fields,
// not of lines: one call takes as many fields as it needs, crossing line ends.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabinowa {

// What an untyped target keeps of a field: quoted gives text, an unquoted
// number a number, other unquoted text a text, an empty field the empty value
// (equal to 0 and to "" in comparisons).
class Value {
public:
    enum class Kind { Empty, Number, Text };

    Value() = default;
    static Value number(double n) { Value v; v.kind_ = Kind::Number; v.number_ = n; return v; }
    static Value text(std::string t) { Value v; v.kind_ = Kind::Text; v.text_ = std::move(t); return v; }

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNumber() const { return kind_ == Kind::Number; }
    bool isText() const { return kind_ == Kind::Text; }
    // The number it stands for: the empty value is 0; a text that reads as a
    // number gives that number; other text gives nullopt.
    std::optional<double> asNumber() const;
    // Its text: a number in plain decimal (as the program would print it), the empty value "".
    std::string asText() const;

    friend bool operator==(const Value& a, const Value& b);

private:
    Kind kind_ = Kind::Empty;
    double number_ = 0;
    std::string text_;
};

// Parses a whole text as a decimal number (blanks around allowed); nullopt when it is not one.
std::optional<double> parseNumber(std::string_view text);

// Rounds to the nearest integer, a half to the even neighbour.
double roundHalfEven(double x);

class FieldReader {
public:
    // `bytes` is the file's CP932 content; `fileName` names it in messages.
    FieldReader(std::string bytes, std::string fileName);

    // True when nothing but the end remains to be read.
    bool atEnd() const { return pos_ >= bytes_.size(); }
    // 1-based line of the next field to be read.
    int line() const { return line_; }
    const std::string& fileName() const { return fileName_; }

    Value readValue();
    std::string readText();
    std::int16_t readInt16();
    std::int32_t readInt32();
    std::vector<Value> readValues(int n);

    // Line of the field last read (for messages after the read).
    int lastLine() const { return lastLine_; }

    // The line where the n-th field from here (1 = the next one) begins, or
    // nullopt when the file holds fewer fields (a quote never closed ends
    // them; the field it opens still begins). Reads nothing: a cheap look
    // ahead over the bytes, without converting a field.
    std::optional<int> lineOfFieldAhead(std::size_t n) const;

private:
    struct Raw {
        std::string bytes;  // CP932
        bool quoted = false;
    };
    struct Span {
        std::size_t start = 0, length = 0;
        bool quoted = false;
    };
    // Passes over one field from `pos` (blanks before it, its bytes, the comma
    // or line end after it), counting line ends into `line`. False when a
    // quoted field is never closed.
    bool scanField(std::size_t& pos, int& line, Span& field) const;
    Raw next();
    std::string decode(const std::string& raw) const;
    [[noreturn]] void fail(const std::string& what) const;
    std::int64_t toInteger(const Raw& raw, std::int64_t lo, std::int64_t hi);

    std::string bytes_;
    std::string fileName_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int lastLine_ = 1;
};

// Builds a text file's bytes in CP932: the field writer and the line printer.
class TextWriter {
public:
    explicit TextWriter(std::string fileName) : fileName_(std::move(fileName)) {}
    // One line: values separated by commas, texts in double quotes, numbers in
    // decimal, empty values as nothing; CR LF at the end.
    void writeFields(const std::vector<Value>& values);
    // One number as one line: a blank in front when not negative, then CR LF.
    void printNumber(std::int32_t n);
    const std::string& bytes() const { return bytes_; }

private:
    std::string fileName_;
    std::string bytes_;
    int lines_ = 0;
};

}  // namespace tabinowa
