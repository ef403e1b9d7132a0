// SPDX-License-Identifier: GPL-3.0-or-later
#include "output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "core/files/cp932.h"
#include "core/files/error.h"

namespace makedata {
namespace {

// Stand-ins for characters that CP932 has no code for. Only used when the
// strict conversion fails on the character.
const std::map<std::string, std::string>& standIns() {
    static const std::map<std::string, std::string> table = {
        {"\u301C", "\uFF5E"},  // 〜 wave dash -> ～
        {"\u2212", "\uFF0D"},  // − minus -> －
        {"\u2013", "\uFF0D"},  // – en dash -> －
        {"\u2014", "\u2015"},  // — em dash -> ―
        {"\u00A0", " "},       // no-break space
        {"\u9AD9", "\u9AD8"},  // 髙 -> 高 (when not in the table)
        {"\uFA11", "\u5D0E"},  // 﨑 -> 崎
    };
    return table;
}

bool encodable(const std::string& utf8) {
    try {
        tabinowa::toCp932(utf8, "text");
        return true;
    } catch (const tabinowa::FileError&) {
        return false;
    }
}

std::size_t charLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 4;
}

}  // namespace

void TextPolicy::note(const std::string& change) {
    if (std::find(changes_.begin(), changes_.end(), change) == changes_.end()) changes_.push_back(change);
}

std::string TextPolicy::clean(const std::string& in) {
    std::string s;
    s.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        std::size_t n = charLength(static_cast<unsigned char>(in[i]));
        std::string ch = in.substr(i, n);
        i += n;
        if (ch == "\"") {
            s += "\uFF02";
            note("\" -> ＂ in " + in);
        } else if (ch == "\r" || ch == "\n") {
            if (ch == "\r" && i < in.size() && in[i] == '\n') ++i;
            s += "\u3000";
            note("line break -> 　 in " + in);
        } else {
            s += ch;
        }
    }
    if (encodable(s)) return s;
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = charLength(static_cast<unsigned char>(s[i]));
        std::string ch = s.substr(i, n);
        i += n;
        if (n == 1 || encodable(ch)) {
            out += ch;
            continue;
        }
        auto it = standIns().find(ch);
        if (it == standIns().end() || !encodable(it->second))
            throw std::runtime_error("no CP932 stand-in for '" + ch + "' in " + in);
        out += it->second;
        note(ch + " -> " + it->second + " in " + in);
    }
    return out;
}

void CsvLine::sep() {
    if (fields_ > 0) line_ += ',';
    ++fields_;
}

CsvLine& CsvLine::text(const std::string& utf8) {
    sep();
    line_ += '"';
    line_ += policy_.clean(utf8);
    line_ += '"';
    return *this;
}

CsvLine& CsvLine::number(long long n) {
    sep();
    line_ += std::to_string(n);
    return *this;
}

CsvLine& CsvLine::empty() {
    sep();
    return *this;
}

std::size_t cp932Bytes(const std::string& utf8) { return tabinowa::toCp932(utf8, "text").size(); }

std::string cutToBytes(const std::string& utf8, std::size_t maxBytes) {
    std::string out;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = charLength(static_cast<unsigned char>(utf8[i]));
        std::string ch = utf8.substr(i, n);
        std::size_t b = n == 1 ? 1 : cp932Bytes(ch);
        if (bytes + b > maxBytes) break;
        bytes += b;
        out += ch;
        i += n;
    }
    return out;
}

std::size_t chars(const std::string& utf8) { return tabinowa::charCount(utf8); }

std::string firstChars(const std::string& utf8, std::size_t n) { return tabinowa::leftChars(utf8, n); }

void writeCp932File(const QString& path, const std::string& utf8) {
    std::string bytes = tabinowa::toCp932(utf8, path.toStdString());
    QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    QString tmp = path + ".tmp";
    {
        QFile f(tmp);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + tmp.toStdString());
        if (f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
            !f.flush())
            throw std::runtime_error("cannot write " + tmp.toStdString());
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(tmp.toStdString()), std::filesystem::path(path.toStdString()), ec);
    if (ec) throw std::runtime_error("cannot rename " + tmp.toStdString() + ": " + ec.message());
}

}  // namespace makedata
