#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test
# but the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DVELSEND_WERROR=ON
cd build
ctest -LE bench -j "$(nproc)" --output-on-failure
