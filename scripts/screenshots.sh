#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Pictures of the onboarding, the dashboard (waiting, connected) and the tray panel, in English
# and with the texts' Chinese keys, drawn by the real widgets on a private Xvfb.
set -euo pipefail
build=${1:-build}
out=${2:-docs/screenshots}
here=$(cd "$(dirname "$0")/.." && pwd)
tool="$here/$build/scripts/screenshots/quillmote_screenshots"
[[ -x "$tool" ]] || { echo "screenshots: $tool is missing; build first" >&2; exit 1; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 3>"$runtime/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 50); do [[ -s "$runtime/display" ]] && break; sleep 0.1; done
display=":$(cat "$runtime/display")"

mkdir -p "$out"
for variant in en:en_US.UTF-8 keys:zh_CN.UTF-8; do
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$runtime LANG=${variant#*:} LC_ALL= \
    "$tool" "$out" "${variant%%:*}"
done
# The same windows under a dark desktop theme, through Qt's GTK platform theme.
DISPLAY=$display QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark XDG_RUNTIME_DIR=$runtime \
  LANG=en_US.UTF-8 LC_ALL= "$tool" "$out" dark
# The browser remote's page as a phone shows it, drawn by headless Chromium.
QUILLMOTE_BIN="$here/$build/quillmote" /usr/bin/python3 "$here/scripts/screenshots/web.py" "$out"
