#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Runs every benchmark of one build folder; each prints its own table.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
for bench in "$here/$build"/bench/bench_*; do
  [[ -f "$bench" && -x "$bench" ]] || continue
  echo "== $(basename "$bench")"
  QUILLMOTE_BIN="$here/$build/quillmote" "$bench"
  echo
done
# The Wayland stacks and the uinput VM are driven from Python, as the tests drive them.
for bench in "$here"/bench/bench_*.py; do
  echo "== $(basename "$bench")"
  QUILLMOTE_BIN="$here/$build/quillmote" /usr/bin/python3 "$bench"
  echo
done
