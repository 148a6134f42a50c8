#!/bin/sh
# Installs what is missing, builds, and starts the system.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export BUILD_DIR=${BUILD_DIR:-$root/build-release}
"$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release -DORVANE_SANITIZE=OFF -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
bin="$BUILD_DIR/bin"
if [ -x "$bin/korvid-launcher" ]; then
    "$bin/korvid-launcher" &
    launcher=$!
    trap 'kill $launcher 2>/dev/null' EXIT INT TERM
fi
if [ -x "$bin/Orvane" ]; then
    "$bin/Orvane" "$@"
elif [ -n "${launcher:-}" ]; then
    echo "Orvane is not built yet; korvid-launcher runs until interrupted (Ctrl+C)."
    wait "$launcher"
else
    echo "Nothing to start yet: build products are in $bin"
fi
