#!/bin/bash
# The chart's Win32-layer tests (tests/wine/chart_draw_test.cpp) built as a
# 64-bit program: the win32_layer_tests.exe beside the 64-bit platterscope.exe
# that PLATTERSCOPE_WIN64 names, run on the NT family. Without
# PLATTERSCOPE_WIN64 the test is skipped.
name=dialog_chart_win64
source "$(dirname "$0")/../../tools/wine/common.sh"
tests="$(dirname "${PLATTERSCOPE_WIN64:-.}")/win32_layer_tests.exe"
wine_require_win64 "$name" "$tests"
output=$(bash "$(dirname "$0")/../../tools/wine/run-in-prefix.sh" "$1" nt "$tests" --gtest_filter='Chart*' --gtest_brief=1 2>&1)
code=$?
echo "$output"
# A filter that matches nothing would pass as well.
if [ $code -eq 0 ] && ! grep -Eq '^\[==========\] [1-9][0-9]* tests? from' <<<"$output"; then
    echo "[$name] FAIL: no Chart test ran" >&2
    exit 1
fi
[ $code -eq 0 ] && echo "[$name] passed" >&2 || echo "[$name] FAIL: exit code $code" >&2
exit $code
