// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shift-JIS (Windows code page 932) at the file boundary, through glibc iconv
// (with tables made from iconv's own answers), strict: an invalid byte or a
// character CP932 cannot hold is an error.
// Inside the program every text is UTF-8; "length in characters" counts
// Unicode code points.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tabinowa {

// Converts CP932 bytes to UTF-8. Throws FileError naming `where` on bytes that
// are not valid CP932.
std::string fromCp932(std::string_view cp932, std::string_view where);

// Converts UTF-8 to CP932. Throws FileError naming `where` on a character that
// CP932 cannot encode (or on input that is not UTF-8).
std::string toCp932(std::string_view utf8, std::string_view where);

// True when the bytes are valid CP932 and each code is the one toCp932 writes
// for its character, so that toCp932(fromCp932(bytes)) gives the bytes back
// and two such texts are equal exactly when their UTF-8 forms are. ASCII bytes
// always are; the duplicate codes of the NEC and IBM rows and invalid bytes
// are not.
bool isCanonicalCp932(std::string_view cp932);

// The same conversions through iconv alone, without the tables fromCp932 and
// toCp932 use (nullopt where they throw); the tests hold both ways to the
// same bytes.
std::optional<std::string> fromCp932ByIconv(std::string_view cp932);
std::optional<std::string> toCp932ByIconv(std::string_view utf8);

// Number of characters (code points) of a UTF-8 text.
std::size_t charCount(std::string_view utf8);

// The first n characters of a UTF-8 text (all of it when shorter).
std::string leftChars(std::string_view utf8, std::size_t n);

// The text padded with ASCII blanks to n characters, or cut to n characters.
std::string padChars(std::string_view utf8, std::size_t n);

// Drops ASCII blanks (and tabs) at the end.
std::string trimRight(std::string_view text);

// Fixed-length field of exactly `width` bytes of CP932: the text converted,
// cut after the last whole character that fits and padded with 0x20. Never
// ends in half a two-byte character.
std::string fixedField(std::string_view utf8, std::size_t width, std::string_view where);
// The same field written to out[0, width).
void fixedFieldInto(std::string_view utf8, char* out, std::size_t width, std::string_view where);

// Byte length of the CP932 lead/trail structure: true when the byte starts a
// two-byte CP932 character.
bool isCp932LeadByte(unsigned char byte);

}  // namespace tabinowa
