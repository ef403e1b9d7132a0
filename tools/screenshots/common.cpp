// SPDX-License-Identifier: GPL-3.0-or-later
#include "common.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <iostream>

#include <unistd.h>

#include "core/files/cp932.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "ui/application.h"
#include "ui/form.h"

namespace fs = std::filesystem;

namespace tabinowa::shots {

int inTemporaryFolder(const std::string& prefix, const std::string& label,
                      const std::function<void(const fs::path&, int&)>& body) {
    std::string tmpl = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) {
        std::cerr << "一時フォルダを作成できません\n";
        return 1;
    }
    const fs::path folder = tmpl;
    int failures = 0;
    try {
        body(folder, failures);
    } catch (const std::exception& e) {
        std::cerr << label << ": " << e.what() << "\n";
        ++failures;
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return failures;
}

void copyDataFolders(const fs::path& from, const fs::path& to) {
    const AppFolders source{from}, target{to};
    const std::pair<fs::path, fs::path> folders[] = {
        {source.data(), target.data()}, {source.map(), target.map()}, {source.work(), target.work()}};
    for (const auto& [s, t] : folders) {
        if (!from.empty() && fs::exists(s))
            fs::copy(s, t, fs::copy_options::recursive);
        else
            fs::create_directories(t);
    }
}

AppFolders prepareCopy(const fs::path& from, const fs::path& to, const std::string& label,
                       bool (*hasData)(const AppFolders&), void (*makeUp)(const AppFolders&)) {
    const AppFolders f{to};
    copyDataFolders(from, to);
    const bool shipped = hasData(f);
    if (!shipped) makeUp(f);
    std::cout << label << ": " << (shipped ? "同梱データ" : "作例データ") << "を使用\n";
    return f;
}

bool saveShot(const ui::Form& form, const fs::path& png) {
    ui::Application::processEvents();
    const bool ok = form.grab(png);
    std::cout << (ok ? "保存: " : "失敗: ") << png.string() << "\n";
    return ok;
}

void writeTowns(const AppFolders& f, const std::vector<Town>& towns) {
    PosixIo io;
    RecordFile file(io, f.cityRecords(), City::kLength);
    for (std::size_t i = 0; i < towns.size(); ++i) {
        const Town& t = towns[i];
        City c = City::zeroed();
        c.KenNo = static_cast<std::int16_t>(t.ken);
        c.RecNo = static_cast<std::int16_t>(i + 1);
        c.CityName = t.name;
        c.Jinko = t.jinko;
        c.Menseki = t.menseki;
        c.Jigyosyo = t.jigyosyo;
        c.Jugyoin = t.jugyoin;
        c.Kogyo = t.kogyo;
        c.Syogyo = t.syogyo;
        c.KyuSu = static_cast<std::int16_t>(t.old.size());
        for (std::size_t k = 1; k <= t.old.size(); ++k) {
            const Old& o = t.old[k - 1];
            c.KyuNames[k] = o.name;
            c.KyuX[k] = static_cast<std::int16_t>(o.x * 15);
            c.KyuY[k] = static_cast<std::int16_t>(o.y * 15);
            c.KyuText[k] = o.text;
            c.KyuTextLen[k] = std::to_string(charCount(o.text));
        }
        file.put(static_cast<int>(i) + 1, c.encode("fixture"));
    }
}

void writePrefectures(const AppFolders& f, const std::vector<Prefecture>& prefectures) {
    std::vector<KenHani> table;
    for (std::size_t i = 0; i < prefectures.size(); ++i) {
        KenHani k;
        k.KenNo = Value::number(static_cast<double>(i + 1));
        k.Yobi0 = Value::number(0);
        k.KenName = Value::text(prefectures[i].name);
        k.StartRec = Value::number(prefectures[i].startRec);
        k.EndRec = Value::number(prefectures[i].endRec);
        k.HomonSu = Value::number(0);
        table.push_back(k);
    }
    PosixIo io;
    rewriteRanges(io, f, table, false);
}

void drawMap(const fs::path& file, const QPolygon& land, const std::vector<Island>& islands) {
    QImage img(505, 503, QImage::Format_RGB32);
    img.fill(QColor(205, 228, 246));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 110, 90), 2));
    p.setBrush(QColor(238, 232, 205));
    p.drawPolygon(land);
    for (const Island& i : islands) p.drawEllipse(i.centre, i.rx, i.ry);
    p.end();
    img.save(QString::fromStdString(file.string()), "JPEG", 90);
}

Mondai withLengths(Mondai m) {
    for (std::size_t i = 0; i < 4; ++i) m.SentakuLen[i] = static_cast<std::int16_t>(charCount(m.Sentaku[i]));
    m.KotaeLen = static_cast<std::int16_t>(charCount(m.Kotae));
    m.KaisetuLen = static_cast<std::int16_t>(charCount(m.Kaisetu));
    m.Mondai1Len = static_cast<std::int16_t>(charCount(m.Mondai1));
    m.Mondai2Len = static_cast<std::int16_t>(charCount(m.Mondai2));
    return m;
}

}  // namespace tabinowa::shots
