#!/bin/sh
# Runs one test program with a fresh temporary HOME and XDG folders, removed afterwards.
#
# With ORVANE_TEST_PRIVATE_NET=1 (tests that bind the fixed ports 11050, 11080, 11081) the test
# runs in a network namespace of its own, with only a loopback interface, when the system
# allows one: directly as root, else inside a user namespace. There it meets neither a running
# application nor another test. Where no namespace can be made it runs as before, and the
# CTest resource locks on the ports keep such tests apart.
set -u

# Runs the command in a private network namespace with the loopback up. Root: a network
# namespace alone. Anyone else: a user namespace where we are root long enough to bring the
# loopback up, then a nested one that maps us back to our own ids, so that file permissions
# mean in the test what they mean outside.
in_private_net() {
    if [ "$(id -u)" = 0 ]; then
        unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
    else
        unshare --user --map-root-user --net -- sh -c \
            'ip link set lo up && uid=$1 gid=$2 && shift 2 &&
             exec unshare --user --map-user="$uid" --map-group="$gid" -- "$@"' \
            sh "$(id -u)" "$(id -g)" "$@"
    fi
}

if [ "${ORVANE_TEST_PRIVATE_NET:-0}" = 1 ] && [ -z "${ORVANE_TEST_IN_PRIVATE_NET:-}" ] &&
    command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1; then
    export ORVANE_TEST_IN_PRIVATE_NET=1
    # A dry run first: where the system refuses the namespaces the test runs here as it is.
    if in_private_net true >/dev/null 2>&1; then
        in_private_net "$0" "$@"
        exit $?
    fi
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-test.XXXXXX") || exit 1
xvfb=""
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$tmp"' EXIT INT TERM

# With ORVANE_TEST_PRIVATE_X=1 (tests that read back what the screen shows, or watch every window
# mapped on it) the test gets an X server of its own, so other tests' windows never appear on it.
if [ "${ORVANE_TEST_PRIVATE_X:-0}" = 1 ] && command -v Xvfb >/dev/null 2>&1; then
    for n in $(seq 150 250); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1920x1080x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
        xvfb=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$xvfb" 2>/dev/null || break
            sleep 0.05
        done
        if kill -0 "$xvfb" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            break
        fi
        xvfb=""    # lost the race for that number to another test: try the next
    done
fi
mkdir -p "$tmp/home/Documents" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export HOME="$tmp/home"
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache"
export XDG_RUNTIME_DIR="$tmp/runtime" XDG_DOCUMENTS_DIR="$tmp/home/Documents"
export ORVANE_TEST_TMP="$tmp"
"$@"
