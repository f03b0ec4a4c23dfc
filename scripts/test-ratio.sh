#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Prints the size of the tests against the code they test, and fails above the ceiling: every
# line of test code under tests/ (sources and scripts; the list of planted faults is data, not
# test code, so it is left out) against the lines of the C++ sources outside tests/ and bench/
# and of the browser remote's page (JavaScript, HTML, CSS).
set -euo pipefail
cd "$(dirname "$0")/.."
ceiling=${1:-35}
count() { if [ $# -gt 0 ]; then cat "$@" | wc -l; else echo 0; fi; }
mapfile -t test_files < <(git ls-files tests | grep -v -x 'tests/mutants/faults.txt')
mapfile -t code_files < <(git ls-files | grep -v -E '^(tests|bench)/' | grep -E '\.(cpp|h)$|^web/page/.*\.(js|html|css)$' | grep -v '^web/page/vendor/')
tests=$(count "${test_files[@]}")
code=$(count "${code_files[@]}")
permille=$((1000 * tests / code))
echo "tests: $tests lines against $code lines of code: $((permille / 10)).$((permille % 10)) % (at most $ceiling %)"
[ $((100 * tests)) -le $((ceiling * code)) ]
