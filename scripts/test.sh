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
xvfb_dir=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    [ -z "$xvfb_dir" ] || rm -rf "$xvfb_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if [ -z "${DISPLAY:-}" ] || [ "${CI:-}" = "true" ]; then
    # A private X server, 1920x1080x24, for the screen-capture tests. Xvfb picks a free display
    # number itself and writes it to the pipe once it accepts connections; should this script
    # die without its cleanup, the server gets SIGKILL. It keeps its socket file (tests in a
    # network namespace of their own reach it through that file only) and never resets: a reset
    # remakes a listening socket whose file has gone, after which some clients hang in the setup.
    xvfb_dir=$(mktemp -d "${TMPDIR:-/tmp}/orvane-xvfb.XXXXXX")
    mkfifo "$xvfb_dir/displayfd"
    pdeath=""
    if command -v setpriv >/dev/null 2>&1; then pdeath="setpriv --pdeathsig KILL --"; fi
    # shellcheck disable=SC2086
    $pdeath Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset \
        3>"$xvfb_dir/displayfd" >"$xvfb_dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # Until the server writes its number; a server that fails closes the pipe unwritten.
    n=$(timeout 60 head -n 1 "$xvfb_dir/displayfd") || true
    case "$n" in
        ''|*[!0-9]*)
            echo "test.sh: Xvfb gave no display number within 60 s:" >&2
            cat "$xvfb_dir/xvfb.log" >&2
            exit 1 ;;
    esac
    export DISPLAY=":$n"
fi

cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" "$@"
