#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the peer program of `make bench-peer` (a Debian package, by default
# kgeography) and the session bus runner when they are missing.
set -euo pipefail
peer="${1:-kgeography}"
wanted=()
command -v "$peer" >/dev/null 2>&1 || [ -x "/usr/games/$peer" ] || wanted+=("$peer")
command -v dbus-run-session >/dev/null 2>&1 || wanted+=(dbus-daemon)
[ ${#wanted[@]} -eq 0 ] || bash "$(dirname "$0")/install-deps.sh" "${wanted[@]}"
