#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Runs the whole test suite of one build folder through CTest.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
# libxkbcommon-x11 (loaded by Qt's xcb platform) copies X atom names with strndup from buffers
# that are not NUL-terminated, which strict string checks report although the length bounds
# the copy; strndup is left alone, every other string function is checked strictly.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_strndup=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/lsan.supp:print_suppressions=0}
cd "$here" && cd "$build"
ctest --output-on-failure --timeout 600 -j2 "${@:2}"
