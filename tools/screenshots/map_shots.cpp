// The municipality map's screenshots: a prefecture, a municipality, the pointer.
#include "map_shots.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/random.h"
#include "core/session.h"
#include "files/cp932.h"
#include "files/error.h"
#include "files/io.h"
#include "files/prefectures.h"
#include "files/record_file.h"
#include "files/records.h"
#include "map/city_table.h"
#include "map/frm2Tizu.h"
#include "shell/frm1Main.h"
#include "shell/window_manager.h"
#include "ui/application.h"

namespace fs = std::filesystem;

namespace tabinowa::shots {
namespace {

struct Old {
    const char* name;
    int x, y;  // pixels on the picture
    const char* text;
};

struct Town {
    const char* name;
    std::int32_t jinko, menseki, jigyosyo, jugyoin, kogyo, syogyo;
    std::vector<Old> old;
};

City makeCity(int recNo, const Town& t) {
    City c = City::zeroed();
    c.KenNo = 1;
    c.RecNo = static_cast<std::int16_t>(recNo);
    c.CityName = t.name;
    c.Jinko = t.jinko;
    c.Menseki = t.menseki;
    c.Jigyosyo = t.jigyosyo;
    c.Jugyoin = t.jugyoin;
    c.Kogyo = t.kogyo;
    c.Syogyo = t.syogyo;
    c.KyuSu = static_cast<std::int16_t>(t.old.size());
    for (std::size_t i = 0; i < t.old.size(); ++i) {
        const std::size_t k = i + 1;
        c.KyuNames[k] = t.old[i].name;
        c.KyuX[k] = static_cast<std::int16_t>(t.old[i].x * 15);
        c.KyuY[k] = static_cast<std::int16_t>(t.old[i].y * 15);
        c.KyuText[k] = t.old[i].text;
        c.KyuTextLen[k] = std::to_string(charCount(t.old[i].text));
    }
    return c;
}

// A small made-up prefecture: its records, its range line and its picture.
void makeFixture(const AppFolders& f) {
    PosixIo io;
    const std::vector<Town> towns = {
        {"新潟市", 789275, 726, 37000, 360000, 11000, 39000,
         {{"新潟市", 260, 160, "県庁所在地。信濃川の河口に開けた港町"},
          {"豊栄市", 300, 130, "福島潟のほとりの市"},
          {"新津市", 290, 230, "鉄道の町として栄えた"},
          {"白根市", 240, 240, "果樹と大凧合戦の町"},
          {"巻町", 190, 250, "角田山の麓の町"},
          {"亀田町", 270, 200, "亀田縞と米菓の町"}}},
        {"長岡市", 266936, 891, 13000, 120000, 5200, 9100,
         {{"長岡市", 280, 330, "花火で知られる城下町"},
          {"山古志村", 320, 370, "錦鯉と棚田の村"},
          {"栃尾市", 350, 320, "油揚げと上杉謙信ゆかりの地"}}},
        {"粟島浦村", 350, 9, 30, 120, 0, 3, {{"粟島浦村", 240, 40, "日本海に浮かぶ粟島の村"}}},
    };
    {
        RecordFile file(io, f.cityRecords(), City::kLength);
        for (std::size_t i = 0; i < towns.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            file.put(n, makeCity(n, towns[i]).encode("fixture"));
        }
    }
    KenHani k;
    k.KenNo = Value::number(1);
    k.Yobi0 = Value::number(0);
    k.KenName = Value::text("新潟県");
    k.StartRec = Value::number(1);
    k.EndRec = Value::number(static_cast<double>(towns.size()));
    k.HomonSu = Value::number(0);
    rewriteRanges(io, f, {k}, false);

    QImage img(505, 503, QImage::Format_RGB32);
    img.fill(QColor(205, 228, 246));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 110, 90), 2));
    p.setBrush(QColor(238, 232, 205));
    p.drawPolygon(QPolygon({QPoint(150, 240), QPoint(330, 90), QPoint(420, 110), QPoint(440, 300),
                            QPoint(380, 460), QPoint(230, 420), QPoint(170, 300)}));
    p.drawEllipse(QPoint(240, 40), 14, 10);
    p.end();
    img.save(QString::fromStdString(f.picture(1).string()), "JPEG", 90);
}

bool hasCityFiles(const AppFolders& f) {
    return fs::exists(f.cityRecords()) && fs::exists(f.rangeFile()) && fs::exists(f.picture(1));
}

// The municipality with the most old municipalities, as (prefecture position, row position).
std::pair<int, int> richestMunicipality(Io& io, const AppFolders& f, const std::vector<KenHani>& kens) {
    std::pair<int, int> best{0, 0};
    int most = -1;
    for (std::size_t p = 0; p < kens.size(); ++p) {
        const auto cities = readCities(io, f, kens[p]);
        for (std::size_t r = 0; r < cities.size(); ++r)
            if (cities[r].KyuSu > most && fs::exists(f.picture(static_cast<int>(p) + 1))) {
                most = cities[r].KyuSu;
                best = {static_cast<int>(p), static_cast<int>(r)};
            }
    }
    return best;
}

}  // namespace

int shootMap(const fs::path& out, const fs::path& work) {
    std::string tmpl = (fs::temp_directory_path() / "tabinowa-map-shots-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::cerr << "一時フォルダを作成できません\n";
        return 1;
    }
    const fs::path mine = tmpl;
    const AppFolders f{mine};
    int failures = 0;
    try {
        fs::copy(work, mine, fs::copy_options::recursive);
        for (const auto& d : {f.data(), f.map(), f.work()}) fs::create_directories(d);
        const bool shipped = hasCityFiles(f);
        if (!shipped) makeFixture(f);
        std::cout << "市町村地図: " << (shipped ? "同梱データ" : "作例データ") << "を使用\n";

        PosixIo io;
        const auto kens = readRanges(io, f);
        if (kens.empty()) throw FileError("県範囲.csvに都道府県がありません。");
        const auto [ken, row] = richestMunicipality(io, f, kens);

        MtRandom random;
        Session session(mine, io, random);
        session.setStartupFlag();  // the menu only opens the map here
        WindowManager windows(session, [] {});
        windows.start();
        windows.main()->cmdTizu.click();
        ui::Application::processEvents();
        auto* w = static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
        if (!w) throw FileError("市町村地図の画面を開けませんでした。");

        auto save = [&](const std::string& state) {
            ui::Application::processEvents();
            const fs::path png = out / ("frm2Tizu-" + state + ".png");
            const bool ok = w->frm.grab(png);
            std::cout << (ok ? "保存: " : "失敗: ") << png.string() << "\n";
            if (!ok) ++failures;
        };

        w->lstKen.clickItem(ken);
        save("prefecture");
        w->lstCity.clickItem(row);
        save("municipality");
        // over an old municipality that now belongs to another name, if there is one
        const CityRow& chosen = w->rows().at(static_cast<std::size_t>(row));
        const OldTown& pointed = chosen.old.size() > 1 ? chosen.old[1] : chosen.old.at(0);
        w->picTizu.moveMouse(pointed.x + 20, pointed.y + 20);
        save("pointer");
        windows.endProgram();
        ui::Application::processEvents();
    } catch (const std::exception& e) {
        std::cerr << "市町村地図: " << e.what() << "\n";
        ++failures;
    }
    std::error_code ec;
    fs::remove_all(mine, ec);
    return failures;
}

}  // namespace tabinowa::shots
