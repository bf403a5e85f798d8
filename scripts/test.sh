#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${SLIDETRACK_BUILD_DIR:-build}
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" --timeout 600
# CI also checks the format and runs the sanitizer build and the fuzz targets.
if [ "${SLIDETRACK_CI:-0}" = 1 ]; then
  cd - >/dev/null
  scripts/ci_checks.sh
fi
