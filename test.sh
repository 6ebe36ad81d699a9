#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. With --sanitize (or in CI) the suite
# runs a second time on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)
sanitize=0
for a in "$@"; do [ "$a" = "--sanitize" ] && sanitize=1; done
[ "${CI:-}" = "true" ] && sanitize=1

werror="-DVELDARIN_WERROR=${VELDARIN_WERROR:-OFF}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$werror" >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

if [ "$sanitize" = 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELDARIN_SANITIZE=ON -DVELDARIN_BENCH=OFF \
    "$werror" >/dev/null
  cmake --build build-asan -j "$jobs"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j "$jobs" -LE no_sanitize)
fi
