#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Fails when a tracked C++ file differs from what .clang-format makes of it, or when the browser
# remote's JavaScript does not even parse (the page has no build step to catch it).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files follow .clang-format"
mapfile -t scripts < <(git ls-files 'web/page/*.js')
for f in "${scripts[@]}"; do node --check "$f"; done
echo "syntax: ${#scripts[@]} page scripts parse"
