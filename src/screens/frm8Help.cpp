// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm8Help.h"

#include "core/game/rules.h"

namespace tabinowa {

std::string helpText(const std::filesystem::path& programFolder) {
    const std::u8string folder = programFolder.u8string();
    return std::string(
               "【トレーニング】問題を読んで答えを考え、「解答を表示」で答えと解説を見ます。"
               "正解かどうかは自分で判断します。答えを見たあと O（正解）／X（間違）で伝えると、復習に生かされます。"
               "覚えた問題は外しておけます（環境作成で戻ります）。\r\n"
               "\r\n"
               "【ミチクサ】クイズに正解するとポイントがたまります。1問") +
           std::to_string(game::kRightPoints) + "ポイント、ダブルポイント問題はさらに" +
           std::to_string(game::kDoubleExtra) + "、" + std::to_string(game::kLuckyOdds) +
           "回に1回はラッキーで" + std::to_string(game::kLuckyPoints) + "、" +
           std::to_string(game::kBonusStreak) + "問続けて正解するごとにボーナス" +
           std::to_string(game::kBonusPoints) +
           "。都道府県と市町村をリストで選び、ポイントが市町村の民力以上あれば「訪問する」で訪問できます"
           "（民力の分だけポイントが減ります）。全国の市町村の訪問を目指しましょう。\r\n"
           "\r\n"
           "【市町村地図】都道府県を選ぶと地図が出ます。市町村を選ぶと旧市町村の位置に丸が付き、"
           "地図の上を指すとそこの市町村名が出ます。\r\n"
           "\r\n"
           "【復習】忘れかけた頃の問題から出します。答えを見て「もう一度／難しい／正解／簡単」を選ぶと、"
           "ボタンの（…後）がそれぞれ次に出る日です（トレーニングやミチクサの答えも覚えています）。"
           "メニューの「今日の復習　N問」は期限の来た問題の数で、復習の「期限」と同じ数です。"
           "復習はそのあと、前の日までに間違えた問題（間違い）、まだ答えていない問題（新しい）を出します。"
           "今日答えた問題は、その日のうちには出ません。"
           "「あなたに合わせる」とは、答えの記録から覚えていられる日数の見込みを計算し直すことです。"
           "見込みが前より当たるときだけ使います。"
           "【統計】で種類別・都道府県別の正解率と日ごとの数が見られます。\r\n"
           "\r\n"
           "【どこでしょう】市町村名が出ます。都道府県・地方・全国の地図でクリックして答えます。"
           "キーでは、地図に Tab で移り、矢印でとなりの市町村へ、PageDown／PageUp で次／前の県へ動かし、"
           "Enter で十字の所を答えます。\r\n"
           "\r\n"
           "【環境作成】「ランダムファイル作成」は問題を作り直し、外した問題を全部戻してポイントを0にします。"
           "「市町村ランダムファイル作成」は市町村を作り直し、訪問の記録を全部消します。"
           "表示倍率（100～200％）もここで変えられます。\r\n"
           "\r\n"
           "【キー】Tab／Shift+Tab：次／前のボタンやリストへ　Space・Enter：ボタンを押す　"
           "↑↓：リストの選択　Esc：閉じる（Enter：フォーカスのあるボタン）　F1：この遊び方\r\n"
           "H：ヒント　1～4：選択肢で答える　O・→／X・←：正解／間違（ミチクサ）　Delete：消去　"
           "Ctrl+Z：消去を元に戻す　F8：全て復活（トレーニング）　V：訪問する　R：最初から挑戦（ミチクサ）　"
           "地図では＋／－：拡大縮小、矢印：移動（どこでしょうではとなりの市町村へ）\r\n"
           "\r\n"
           "進み具合は次のフォルダに保存されています（ほかのパソコンへはフォルダごとコピー）：\r\n" +
           std::string(folder.begin(), folder.end());
}

frm8Help::frm8Help(Session& session, WindowManager& windows)
    : frm("遊び方ー「クイズタビノワ」", 12600, 8700, ui::StartPosition::CenterScreen),
      Label1(frm, {240, 180, 12120, 495}, "遊び方"),
      lblText(frm, {240, 840, 12120, 7080}),
      cmdClose(frm, {10920, 8040, 1440, 495}, "閉じる"),
      session_(session),
      windows_(windows) {
    Label1.setFont({"HG創英角ﾎﾟｯﾌﾟ体", 18, false});
    Label1.setForeColor(0x000000FF);
    lblText.setFont({"ＭＳ Ｐゴシック", 10.5, false});
    cmdClose.onClick([this] { windows_.unload(WindowId::Help); });
    frm.onCloseBox([this] { windows_.unload(WindowId::Help); });
    frm.setErrorSink([this](const std::string& message) { lblText.setCaption(message); });
}

void frm8Help::load() {
    lblText.setCaption(helpText(session_.folders.program));
    // Enter closes at once, as Esc does.
    cmdClose.setFocus();
}

}  // namespace tabinowa
