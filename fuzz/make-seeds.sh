#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the seed corpora in fuzz/corpus/<target>/ from the shipped data
# (the first lines of the masters, in CP932 as shipped), from small masters
# like those of the tests, and from real built files (make_seed_records).
# Files found by fuzzing (crash-*, regression-*) are kept; everything else in
# the folders is rewritten.
#
#   fuzz/make-seeds.sh [fuzz-build-folder]     (default: out-fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/out-fuzz}
corpus=$root/fuzz/corpus
work="$root/data/作業ファイル"
prefs="$root/data/file1/都道府県データ.csv"

cmake --build "$build" -j2 --target make_seed_records >/dev/null

for t in fuzz_question_build fuzz_city_build fuzz_field_reader fuzz_records fuzz_cp932; do
  mkdir -p "$corpus/$t"
  find "$corpus/$t" -type f ! -name 'crash-*' ! -name 'regression-*' -delete
done

# UTF-8 text (LF) -> CP932 with CR LF, as the program's files are.
sjis() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932; }

# ---------------------------------------------------------------- questions
q=$corpus/fuzz_question_build
head -n 15 "$work/問題.csv" > "$q/shipped-15-lines"
head -n 1 "$work/問題.csv" > "$q/shipped-1-line"
line='"AB12",7,,"選択一","選択二","選択三","正解",,,,"解説です","備考一","備考二","備考三",,0,"問題の前半","後半です"'
printf '%s\n%s\n%s\n' "$line" "$line" "$line" | sjis > "$q/three-lines"
printf '%s\n' '"読み",2.5,,"a","b","c","d",,,,"x",,,,,,"q1","q2"' \
              '"読み",3.5,,"a","b","c","d",,,,"x",,,,,1,"q1","q2"' | sjis > "$q/rounding-and-empty-double"
printf '%s\n' '"AB",1,,"a","b","c","d",,,,"x",,,,,0,"q1"' \
              '"AB",2,,"a","b","c","d",,,,"x",,,,,0,"q1","q2"' | sjis > "$q/short-line-shifts"
printf '%s\n' '"AB",40000,,"a","b","c","d",,,,"x",,,,,0,"q1","q2"' | sjis > "$q/number-out-of-range"
printf '%s\n\n' "$line" | sjis > "$q/empty-line-at-end"
: > "$q/empty"

# ----------------------------------------------------------- municipalities
# The input up to the first NUL byte is the master, the rest the prefecture
# data; without a NUL the fuzz target supplies a prefecture file of its own.
c=$corpus/fuzz_city_build
{ head -n 12 "$work/市町村.csv"; printf '\0'; head -n 3 "$prefs"; } > "$c/shipped-12-lines"
{ head -n 3 "$work/市町村.csv"; printf '\0'; cat "$prefs"; } > "$c/shipped-3-lines-all-prefectures"
head -n 16 "$work/市町村.csv" > "$c/shipped-16-lines-own-prefectures"
# the last towns of prefecture 1 and the first merged cities of prefecture 2
first2=$(grep -a -n -m 1 '^"02' "$work/市町村.csv" | cut -d: -f1)
{ head -n 1 "$work/市町村.csv"; sed -n "$((first2 - 2)),$((first2 + 5))p" "$work/市町村.csv"
  printf '\0'; head -n 3 "$prefs"; } > "$c/two-prefectures"
header=$(printf 'h%d,' $(seq 1 42))h43
town() {  # prefecture, kind, row type, old name, name
  printf '"c",%s,%s,0,%s,%s,"%s",,,,,,,,100,200,10000,50,400,3000,100,200,0,0' "$1" "$2" "$3" "$4" "$5"
  printf ',"d%d"' $(seq 25 37); printf ',"m%d"' $(seq 38 42); printf ',\n'
}
{ echo "$header"
  town 1 2 0 '"一町"' 一町
  town 1 2 0 '' 合併市; town 1 5 1 '"旧甲"' 合併市; town 1 5 1 '"旧乙"' 合併市
  town 1 1 0 '"飛ばす"' 飛ばす; town 1 3 1 '"飛ばす"' 飛ばす
  town 2 2 0 '"二町"' 二町
} | sjis > "$c/merged-skipped-two-prefectures-master"
{ cat "$c/merged-skipped-two-prefectures-master"; printf '\0'
  printf '%s\n' '1,"北海道",1,2,"札幌市",1,2,3' '2,"青森県",2,1,"青森市",1,2,3' | sjis; } > "$c/merged-skipped-two-prefectures"
rm "$c/merged-skipped-two-prefectures-master"
{ echo "$header"; town 1 2 0 '' 合併市; town 1 5 1 '"旧甲"' 合併市; } | sjis > "$c/merged-pending-at-end"
{ echo "$header"; town 1 2 1 '"孤立"' 孤立; } | sjis > "$c/old-row-without-merged"
echo "$header" | sjis > "$c/header-only"

# ------------------------------------------------- records and built files
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
{ head -n 20 "$work/市町村.csv"; } > "$seeds/city.csv"
head -n 3 "$work/問題.csv" > "$seeds/q.csv"
"$build/fuzz/make_seed_records" "$seeds/q.csv" "$seeds/city.csv" "$prefs" "$seeds" >/dev/null
cp "$seeds"/record-* "$corpus/fuzz_records/"

# ----------------------------------------------------------- field reader
f=$corpus/fuzz_field_reader
cp "$seeds/range.csv" "$f/built-range"
cp "$seeds/testlist.csv" "$f/built-test-list"
cp "$seeds/point.csv" "$f/built-point"
head -n 5 "$prefs" > "$f/shipped-prefectures"
head -n 3 "$work/市町村.csv" > "$f/shipped-municipalities"
head -n 2 "$work/問題.csv" > "$f/shipped-questions"
printf '%s\n' '"a,b",c' '"ab"xyz,1' '  "  x "  ,  y  ' ',,' '"名前","東京都"' '' 'b' | sjis > "$f/text-fields"
printf '%s\n' ',abc,-32768,32767,2.5,3.5,-2.5, 7 ,"12",1e3,32768,2147483648,-3.5' | sjis > "$f/numbers"
printf '"never closed,1\r\n' > "$f/unclosed-quote"
printf 'ok\r\n"\x81"\r\n' > "$f/half-character"
printf '"two\r\nlines",1\nx\ry' > "$f/line-ends"

# ------------------------------------------------------------------ CP932
p=$corpus/fuzz_cp932
printf '%s' '北海道札幌市　ｶﾀｶﾅ①Ⅱ㈱～－' | iconv -f UTF-8 -t CP932 > "$p/mixed-text"
head -c 200 "$work/問題.csv" > "$p/shipped-question-start"
printf 'abc\x81\x40\x82\xa0\xa1\xdf' > "$p/one-and-two-byte"
printf '\x81' > "$p/lone-lead-byte"
printf '\x85\x40\xeb\x40\xf0\x40\xfc\xfc' > "$p/unassigned"

du -sh "$corpus"
