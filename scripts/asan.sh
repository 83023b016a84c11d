#!/bin/sh
# Builds the native core and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (preset native-asan) and runs every native test.
# Any finding fails the run.
set -eu
cd "$(dirname "$0")/.."
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j2
ctest --preset native-asan "$@"
