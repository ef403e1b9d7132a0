#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs fuzz targets one after another, each for SECONDS seconds, on a fresh
# copy of its seed corpus in <build>/corpus-<target> (the committed corpus in
# fuzz/corpus/ is never written). Inputs that crash, hang or trip a sanitizer
# are kept in <build>/artifacts/. Exits non-zero when any target failed.
#
#   fuzz/run.sh <fuzz-build-folder> <seconds> <target>...
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
seconds=$2
shift 2

# Longest input per target: a built municipality record with its kind byte is
# 8129 bytes; 4 KB of master holds 15 questions or 15 municipality rows, and
# the builds run about twice as fast as with 8 KB.
max_len() {
  case $1 in
    fuzz_records) echo 8200 ;;
    fuzz_city_build | fuzz_question_build) echo 4096 ;;
    fuzz_cp932) echo 1024 ;;
    *) echo 4096 ;;
  esac
}

mkdir -p "$build/artifacts"
failed=()
for t in "$@"; do
  corpus=$build/corpus-$t
  rm -rf "$corpus"
  mkdir -p "$corpus"
  if [ -d "$root/fuzz/corpus/$t" ]; then cp -r "$root/fuzz/corpus/$t/." "$corpus/"; fi
  log=$build/fuzz-$t.log
  echo "== $t: ${seconds}s, -max_len=$(max_len "$t")"
  "$build/fuzz/$t" "$corpus" -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" >"$log" 2>&1
  rc=$?
  grep -E '^Done [0-9]+ runs' "$log" || true
  if [ $rc -ne 0 ]; then
    failed+=("$t")
    grep -E 'ERROR|SUMMARY|artifact|fuzz_[a-z0-9_]+:' "$log" | head -n 20
    echo "   FAILED (exit $rc), full log: $log"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
echo "fuzz: no findings"
