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
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts Xvfb on a display number it picks itself (-displayfd: the server takes the first free
# number atomically and writes it once it accepts connections) and exports DISPLAY. The server
# gets SIGKILL should this script die without its cleanup. False when no server came up.
#
# It listens on the abstract socket only (-nolisten unix). Abstract sockets belong to the network
# namespace, so a server in a private one may take a number that a server outside holds; with a
# socket file it would replace the other's /tmp/.X11-unix/X<n>, and the other, finding its file
# gone when it resets, makes a new listening socket and from then on leaves some new clients
# unanswered (their connection hangs in the setup). -noreset: no reset when the last client goes,
# so the server never remakes its listening socket at all.
start_xvfb() {
    mkfifo "$tmp/displayfd" || return 1
    pdeath=""
    command -v setpriv >/dev/null 2>&1 && pdeath="setpriv --pdeathsig KILL --"
    # shellcheck disable=SC2086
    $pdeath Xvfb -displayfd 3 -screen 0 1920x1080x24 -dpi 96 -nolisten tcp -nolisten unix -noreset \
        3>"$tmp/displayfd" >"$tmp/xvfb.log" 2>&1 &
    xvfb=$!
    # Blocks until the server writes its number; a server that fails closes the pipe unwritten.
    n=""
    read -r n <"$tmp/displayfd"
    rm -f "$tmp/displayfd"
    case "$n" in
        ''|*[!0-9]*)
            echo "run-test.sh: Xvfb did not start:" >&2
            cat "$tmp/xvfb.log" >&2
            kill "$xvfb" 2>/dev/null
            wait "$xvfb" 2>/dev/null
            xvfb=""
            return 1 ;;
    esac
    export DISPLAY=":$n"
}

# With ORVANE_TEST_PRIVATE_X=1 (tests that read back what the screen shows, or watch every window
# mapped on it) the test gets an X server of its own, so other tests' windows never appear on it.
if [ "${ORVANE_TEST_PRIVATE_X:-0}" = 1 ] && command -v Xvfb >/dev/null 2>&1; then
    start_xvfb || exit 1
fi
mkdir -p "$tmp/home/Documents" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export HOME="$tmp/home"
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache"
export XDG_RUNTIME_DIR="$tmp/runtime" XDG_DOCUMENTS_DIR="$tmp/home/Documents"
export ORVANE_TEST_TMP="$tmp"
"$@"
