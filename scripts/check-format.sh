#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Fails when a tracked C++ file differs from what .clang-format makes of it, a Python script from
# what autopep8 makes of it, or when the browser remote's JavaScript or a Python script does not
# even parse (the page has no build step, and most system tests only run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files follow .clang-format"
mapfile -t scripts < <(git ls-files 'web/page/*.js' | grep -v '^web/page/vendor/')
for f in "${scripts[@]}"; do
  if grep -q '^import ' "$f"; then node --experimental-default-type=module --check "$f"; else node --check "$f"; fi
done
echo "syntax: ${#scripts[@]} page scripts parse"
scripts/vendor-page-crypto.sh
mapfile -t python < <(git ls-files '*.py')
python3 -c 'import ast, sys
for path in sys.argv[1:]:
    ast.parse(open(path, "rb").read(), path)' "${python[@]}"
echo "syntax: ${#python[@]} Python scripts parse"
# PEP 8 at the project's line length; autopep8 rewrites only what breaks it, so lines keep their
# hand-made wrapping. Fix with: autopep8 --max-line-length 120 --in-place FILE
autopep8 --max-line-length 120 --diff --exit-code "${python[@]}"
echo "format: ${#python[@]} Python scripts follow PEP 8"
