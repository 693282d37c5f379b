#!/usr/bin/env bash
# Cross-builds the core, velsend-cli and the core's unit tests for 64-bit
# Windows with mingw-w64 into build-windows/, then runs the tests under wine64
# in a Wine prefix of its own (build-windows/wineprefix).
#   scripts/build-windows.sh            build and run the unit tests
#   scripts/build-windows.sh --build    build only
# Needs g++-mingw-w64-x86-64-posix, wine64 and googletest (scripts/install-deps.sh --windows).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-windows
run_tests=1
[ "${1:-}" = --build ] && run_tests=0

cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DVELSEND_WERROR=ON -DVELSEND_BUILD_GUI=OFF \
    -DVELSEND_SHEETS=OFF ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build "$dir" -j "$(nproc)" --target velsend-cli velsend-cli-faults velsend_windows_core_tests
file "$dir/bin/velsend-cli.exe"
[ $run_tests -eq 1 ] || exit 0

windows=$dir
. scripts/wine-env.sh
ctest --test-dir "$dir" -L unit -j "$(nproc)" --output-on-failure
"$wineserver" -k 2>/dev/null || true
