#!/usr/bin/env bash
# Installs what is missing, then runs every check the project has and prints a
# summary:
#   1. the source checks: the layers (no include points up a layer, no two
#      folders include each other, every namespace follows its folder:
#      scripts/check-layers.sh), no POSIX call, environment read, signal or
#      device path outside the platform layer (scripts/check-posix-calls.sh),
#      and the formatting (clang-format --dry-run --Werror over src/ and
#      tests/);
#   2. the build with warnings as errors (build/) and every test but the
#      benchmarks;
#   3. the Debian package built from build/ and its file list checked;
#   4. one clang build with AddressSanitizer/UndefinedBehaviorSanitizer and
#      the libFuzzer targets (build-fuzz/, no GUI): the unit and end-to-end
#      tests run under the sanitizers, then the fuzz targets briefly, as many
#      at once as there are cores.
#   5. for Windows: the Qt sources (src/gui, src/app, src/pdf) compiled
#      syntax-only with mingw-w64 against Debian's Qt headers
#      (scripts/check-windows-gui.sh); the cross build of the core, the CLI
#      and the core's unit tests (mingw-w64 and wine64 come from
#      install-deps.sh --windows), the tests run under Wine
#      (scripts/build-windows.sh), a burner session through a Wine COM port
#      (scripts/wine-serial-run.sh), and the demo project, show and a killed
#      commit in a Chinese-named folder compared with the Linux CLI
#      (scripts/wine-cli-checks.sh).
# --quick runs steps 1 and 2 only: the edit-build-test loop.
# Exits non-zero when any step fails; later steps still run where they can.
set -uo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *)
        echo "usage: scripts/test.sh [--quick]" >&2
        exit 2
        ;;
esac
if [ $quick -eq 1 ]; then
    bash scripts/install-deps.sh || exit 1
else
    bash scripts/install-deps.sh --windows || exit 1
fi

jobs=$(nproc)
names=()           # the steps in the order they ran, for the summary
declare -A result  # each step's result by its name: ok, FAILED or skipped
declare -A took    # and its seconds
failed=0

# step NAME COMMAND...: runs one step, records its result and duration.
step() {
    local name=$1
    shift
    echo
    echo "=== $name"
    local start=$SECONDS
    if "$@"; then
        result[$name]=ok
    else
        result[$name]=FAILED
        failed=1
    fi
    names+=("$name")
    took[$name]=$((SECONDS - start))
    [ "${result[$name]}" = ok ]
}
skip() {
    names+=("$1")
    result[$1]=skipped
    took[$1]=0
}
# passed NAME: whether step NAME ran and passed.
passed_step() {
    [ "${result[$1]:-}" = ok ]
}
# ctest_counted DIR ARGS...: runs ctest and adds its counts to the totals.
passed=0
failed_tests=0
ctest_counted() {
    local log
    log=$(mktemp)
    ctest --test-dir "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    local line
    line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -n 1)
    rm -f "$log"
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        failed_tests=$((failed_tests + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
    return "$status"
}
configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null && cmake --build "$dir" -j "$jobs"
}

# format_check: every file of src/ and tests/ as .clang-format lays it out.
format_check() {
    find src tests \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
        xargs -0 -P "$jobs" -n 20 clang-format --dry-run --Werror
}

step "layers and namespaces" bash scripts/check-layers.sh
step "no POSIX calls outside the platform layer" bash scripts/check-posix-calls.sh
step "formatting (clang-format)" format_check

# Optimised as shipped, without debug information: the checks never need it
# and it is a large share of the compile time.
build="build (-Werror)"
if step "$build" configure_and_build build -DVELSEND_WERROR=ON \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"; then
    step "tests: unit, gui, e2e" ctest_counted build -LE bench -j "$jobs" --output-on-failure
else
    skip "tests: unit, gui, e2e"
fi

# summary: prints every step's result and time and exits with the outcome.
summary() {
    echo
    echo "=== summary"
    for name in "${names[@]}"; do
        printf '  %-38s %-8s %5ss\n' "$name" "${result[$name]}" "${took[$name]}"
    done
    if [ $failed -eq 0 ]; then
        echo "all checks passed (${SECONDS}s)"
    else
        echo "SOME CHECKS FAILED (${SECONDS}s)"
    fi
    # The closing line test runners are read by.
    echo "tests: $passed passed, $failed_tests failed"
    exit $failed
}
[ $quick -eq 1 ] && summary

if passed_step "$build"; then
    step "Debian package" bash scripts/check-package.sh
else
    skip "Debian package"
fi

# One clang build with AddressSanitizer/UndefinedBehaviorSanitizer serves both
# the sanitizer run of the unit and end-to-end tests and the fuzz targets: the
# core is compiled once for both, at -O1 (as AddressSanitizer recommends: the
# spreadsheet fault tests run three times faster than unoptimised, for a
# little more compile time) with line tables only.
sanitize_build() {
    CC=clang-14 CXX=clang++-14 configure_and_build build-fuzz -DVELSEND_FUZZ=ON \
        -DVELSEND_SANITIZE=ON -DVELSEND_BUILD_GUI=OFF -DVELSEND_BUILD_TESTS=ON \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
}
if step "sanitizer and fuzz build (clang)" sanitize_build; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    step "sanitizer tests: unit, e2e" ctest_counted build-fuzz -L 'unit|e2e' -j "$jobs" \
        --output-on-failure
    unset ASAN_OPTIONS UBSAN_OPTIONS
    step "fuzz targets" ctest_counted build-fuzz -L fuzz -j "$jobs" --output-on-failure
else
    skip "sanitizer tests: unit, e2e"
    skip "fuzz targets"
fi

if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    step "Windows: Qt sources compile (syntax)" bash scripts/check-windows-gui.sh
else
    skip "Windows: Qt sources compile (syntax)"
fi
if command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
    { command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ]; }; then
    if step "Windows build, unit tests under Wine" bash scripts/build-windows.sh &&
        passed_step "$build"; then
        # The simulator and the Linux CLI come from build/.
        step "Wine: burner session via a COM port" bash scripts/wine-serial-run.sh build build-windows
        step "Wine: demo, show and a killed commit" bash scripts/wine-cli-checks.sh build build-windows
    else
        skip "Wine: burner session via a COM port"
        skip "Wine: demo, show and a killed commit"
    fi
else
    skip "Windows build, unit tests under Wine"
    skip "Wine: burner session via a COM port"
    skip "Wine: demo, show and a killed commit"
fi

summary
