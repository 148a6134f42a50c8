#!/bin/sh
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# starts a private X server when there is no display, and runs every test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export BUILD_DIR=${BUILD_DIR:-$root/build}
export CCACHE_DIR=${CCACHE_DIR:-$root/.cache/ccache}
"$root/scripts/build.sh" -DORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Sanitizer options are set per test (cmake/OrvaneHelpers.cmake).

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; true; }
trap cleanup EXIT INT TERM
if [ -z "${DISPLAY:-}" ] || [ "${CI:-}" = "true" ]; then
    # A private X server, 1920x1080x24, for the screen-capture tests.
    for n in $(seq 90 120); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        break
    done
    for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
fi

cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" "$@"
