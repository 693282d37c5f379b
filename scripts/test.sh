#!/usr/bin/env bash
# Installs what is missing, then runs every check the project has and prints a
# summary:
#   1. no core file includes Qt;
#   2. the build with warnings as errors (build/) and every test but the
#      benchmarks;
#   3. an AddressSanitizer/UndefinedBehaviorSanitizer build (build-asan/, no
#      GUI) running the unit and end-to-end tests;
#   4. a clang libFuzzer build (build-fuzz/) running each fuzz target briefly.
# Exits non-zero when any step fails; later steps still run where they can.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=$(nproc)
names=()
results=()
times=()
failed=0

# step NAME COMMAND...: runs one step, records its result and duration.
step() {
    local name=$1
    shift
    echo
    echo "=== $name"
    local start=$SECONDS
    if "$@"; then
        results+=("ok")
    else
        results+=("FAILED")
        failed=1
    fi
    names+=("$name")
    times+=($((SECONDS - start)))
    [ "${results[-1]}" = ok ]
}
skip() {
    names+=("$1")
    results+=("skipped")
    times+=(0)
}
configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null && cmake --build "$dir" -j "$jobs"
}

step "core has no Qt includes" bash scripts/check-core-no-qt.sh

if step "build (-Werror)" configure_and_build build -DVELSEND_WERROR=ON; then
    step "tests: unit, gui, e2e" ctest --test-dir build -LE bench -j "$jobs" --output-on-failure
else
    skip "tests: unit, gui, e2e"
fi

# Unoptimised: it compiles much faster, and the tests take seconds either way.
if step "sanitizer build (ASan/UBSan)" configure_and_build build-asan -DVELSEND_WERROR=ON \
    -DVELSEND_SANITIZE=ON -DVELSEND_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Debug; then
    step "sanitizer tests: unit, e2e" env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan -L 'unit|e2e' -j "$jobs" --output-on-failure
else
    skip "sanitizer tests: unit, e2e"
fi

fuzz_build() {
    CC=clang-14 CXX=clang++-14 configure_and_build build-fuzz -DVELSEND_FUZZ=ON \
        -DVELSEND_SANITIZE=ON -DVELSEND_BUILD_GUI=OFF -DVELSEND_BUILD_TESTS=OFF
}
if step "fuzz build (clang)" fuzz_build; then
    step "fuzz targets" ctest --test-dir build-fuzz -L fuzz --output-on-failure
else
    skip "fuzz targets"
fi

echo
echo "=== summary"
for i in "${!names[@]}"; do
    printf '  %-32s %-8s %5ss\n' "${names[$i]}" "${results[$i]}" "${times[$i]}"
done
if [ $failed -eq 0 ]; then
    echo "all checks passed (${SECONDS}s)"
else
    echo "SOME CHECKS FAILED (${SECONDS}s)"
fi
exit $failed
