#!/bin/sh
# Configures and builds into ${BUILD_DIR:-build}. Extra arguments go to cmake's configure step.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$(nproc)"
