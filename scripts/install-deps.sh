#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package the project needs. Quiet and quick when all are present.
set -euo pipefail

# With arguments: installs those packages instead (used by install-peer.sh).
packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6opengl6-dev libfontconfig-dev libxcb1-dev libxcb-damage0-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-reggae
  xvfb xauth dbus-daemon
  desktop-file-utils appstream
  clang libclang-rt-14-dev
  strace sqlite3 python3 poppler-utils
)

[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
