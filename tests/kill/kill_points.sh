#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The kill-at-every-call test, from outside the program: each step that
# changes the working files (both builds through tabinowa-prepare; a visit,
# start over, a right answer, a removal, a revival, a review answer and
# taking a newer data set through the driver) is
# run once under strace to count its write, pwrite64, rename, unlink and fsync
# calls; then, for every such call in turn, it is run again and killed there
# (SIGKILL, as a power cut would stop it). The next start (the driver's
# "recover") must leave every set of files that change together wholly as
# before or wholly as after the step, every other file as before, and no
# temporary, backup or journal file behind.
#
# usage: kill_points.sh DRIVER PREPARE DATA_DIR WORK_DIR
set -u
driver=$1 prepare=$2 data=$3 work=$4
syscalls=(write pwrite64 rename unlink fsync)
failures=0

rm -rf "$work" && mkdir -p "$work"

# A small program folder: the first questions and municipalities of the
# shipped masters (both builds then take a moment, not seconds).
base=$work/base
mkdir -p "$base/file" "$base/file1" "$base/作業ファイル"
head -n 30 "$data/作業ファイル/問題.csv" > "$base/作業ファイル/問題.csv"
head -n 80 "$data/作業ファイル/市町村.csv" > "$base/作業ファイル/市町村.csv"
cp "$data/file1/都道府県データ.csv" "$base/file1/"
"$prepare" "$base" > /dev/null || { echo "prepare failed on the small folder"; exit 1; }

# A newer small data set: five questions dropped and five added, more
# municipalities, a version.
newer=$work/newer
mkdir -p "$newer/file1" "$newer/作業ファイル"
sed -n 6,35p "$data/作業ファイル/問題.csv" > "$newer/作業ファイル/問題.csv"
head -n 100 "$data/作業ファイル/市町村.csv" > "$newer/作業ファイル/市町村.csv"
cp "$data/file1/都道府県データ.csv" "$newer/file1/"
printf 'tabinowa-data-version 1\n9999.1\n' > "$newer/tabinowa-data-version.txt"

# Each line: a set name and a hash, so that a set compares as a whole.
# With ONE_SET=1 every file is of one set (a change of them all together).
signature() {  # FOLDER
    (cd "$1" && find . -type f ! -name tabinowa.lock | LC_ALL=C sort | while read -r f; do
        case "${ONE_SET:-}$f" in
            1*) set=all ;;
            ./file/問題.ran|./file/point.csv|./file/記憶.txt|./file/記憶.db) set=questions ;;
            ./file1/市町村.ran|./file1/県範囲.csv|./file1/訪問消去.ran|./file1/市町村ｔｅｓｔ.csv) set=municipalities ;;
            *) set="other:$f" ;;
        esac
        if [ "$f" = ./file/記憶.db ]; then
            # the database by its content (an answer's time differs from run to run)
            echo "$set $f $(sqlite3 -readonly "$f" "SELECT * FROM cards ORDER BY key; SELECT day, key, activity, outcome, right FROM answers ORDER BY id; SELECT * FROM settings WHERE name = 'retention'; SELECT * FROM carried_days" | sha1sum | cut -c1-40)"
        else
            echo "$set $f $(sha1sum < "$f" | cut -c1-40)"
        fi
    done) | awk '{ sets[$1] = sets[$1] " " $2 ":" $3 } END { for (s in sets) print s, sets[s] }' | LC_ALL=C sort
}

# Every set as before or as after, and nothing else.
consistent() {  # BEFORE AFTER NOW
    local line
    while read -r line; do
        local name=${line%% *}
        if ! grep -qxF "$line" "$1" && ! grep -qxF "$line" "$2"; then
            echo "    mixed or stray: $name"
            return 1
        fi
    done < "$3"
    # and no set went missing
    [ "$(cut -d' ' -f1 "$3")" = "$(cut -d' ' -f1 "$1")" ] || { echo "    a set is missing"; return 1; }
}

# Runs a step on a folder, behind the command words given after them (strace …).
run_step() {  # FOLDER STEP [PREFIX…]
    local folder=$1 step=$2
    shift 2
    if [ "$step" = prepare ]; then "$@" "$prepare" "$folder"
    elif [ "$step" = takedata ]; then "$@" "$driver" "$folder" takedata "$newer"
    else "$@" "$driver" "$folder" "$step"; fi
}

check_step() {  # STEP SETUP
    local step=$1 setup=$2
    local start=$work/$step-start
    rm -rf "$start" && cp -a "$base" "$start"
    eval "$setup"
    signature "$start" > "$work/$step.before"
    rm -rf "$work/done" && cp -a "$start" "$work/done"
    run_step "$work/done" "$step" > /dev/null 2>&1 || { echo "$step: the step itself failed"; failures=$((failures + 1)); return; }
    signature "$work/done" > "$work/$step.after"
    if cmp -s "$work/$step.before" "$work/$step.after"; then
        echo "$step: the step changes nothing"; failures=$((failures + 1)); return
    fi
    local total=0 bad=0
    for sc in "${syscalls[@]}"; do
        rm -rf "$work/count" && cp -a "$start" "$work/count"
        run_step "$work/count" "$step" strace -f -qq -e trace="$sc" -o "$work/trace" -- > /dev/null 2>&1
        local n
        n=$(grep -cE "(^|[0-9] +)$sc\(" "$work/trace")
        for ((k = 1; k <= n; k++)); do
            rm -rf "$work/k" && cp -a "$start" "$work/k"
            run_step "$work/k" "$step" strace -f -qq -o /dev/null -e trace="$sc" -e inject="$sc":signal=KILL:when=$k -- \
                > /dev/null 2>&1
            "$driver" "$work/k" recover > /dev/null 2>&1 || { echo "  $step, $sc #$k: the restart failed"; bad=$((bad + 1)); continue; }
            signature "$work/k" > "$work/now"
            consistent "$work/$step.before" "$work/$step.after" "$work/now" || { echo "  $step, $sc #$k: files mixed"; bad=$((bad + 1)); }
            total=$((total + 1))
        done
    done
    echo "[ kill points ] $step: $total kill points, $bad inconsistent"
    failures=$((failures + bad))
    [ "$total" -gt 0 ] || { echo "$step: no kill point found"; failures=$((failures + 1)); }
}

# Before a build, some progress to lose; before start over, a visit to undo.
check_step prepare 'printf " 99999999\r\n" > "$start/file/point.csv"; "$driver" "$start" visit > /dev/null && "$driver" "$start" removal > /dev/null'
check_step visit 'printf " 99999999\r\n" > "$start/file/point.csv"'
check_step startover 'printf " 99999999\r\n" > "$start/file/point.csv"; "$driver" "$start" visit > /dev/null'
check_step right ':'
check_step removal ':'
check_step revival '"$driver" "$start" removal > /dev/null'
# with a memory already there, so that the step replaces one
check_step review '"$driver" "$start" review > /dev/null; "$driver" "$start" removal > /dev/null'
# masters, working files and the memory together, with progress to carry
ONE_SET=1 check_step takedata 'printf " 99999999\r\n" > "$start/file/point.csv"; "$driver" "$start" visit > /dev/null && "$driver" "$start" removal > /dev/null'

[ "$failures" -eq 0 ] && echo "kill points: all consistent" || echo "kill points: $failures failures"
[ "$failures" -eq 0 ]
