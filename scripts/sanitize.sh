#!/usr/bin/env bash
# Builds the whole test suite a second time with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-sanitize/ and runs it (two jobs). Any finding stops the test that meets it, so a
# memory fault or undefined behaviour fails the run even where the normal build passes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-sanitize"
# g++ 12 warns of uninitialised reads inside the standard library (std::regex, std::function)
# that the sanitizers' instrumentation makes it imagine; those warnings are not errors here.
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -Wno-maybe-uninitialized"
# The Qt desktop program and its tests stay out: QtWebEngine brings Chromium, whose own
# allocator and uninstrumented libraries the sanitizers cannot judge. Every other test runs.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON "$@"
cmake --build "$build" -j2
# Leaks are findings too, except inside the system libraries the suppressions name.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j2 --timeout 900
