#!/bin/sh
# Runs one test program with a fresh temporary HOME and XDG folders, removed afterwards.
#
# Where the system allows namespaces (directly as root, else inside a user namespace) the test
# runs in a PID namespace of its own, with its own /proc and mount table; this script is its
# first process. Whatever the test starts, detached or not, ends when the test ends or is killed.
# CTest's time-out sends SIGKILL to the script and its descendants, which no trap sees: a guard
# outside that tree removes the temporary folder once the last process of the test has gone
# (each one holds the write end of the guard's pipe).
#
# With ORVANE_TEST_PRIVATE_NET=1 (tests that bind the fixed ports 11050, 11080, 11081) the
# namespace also has a network of its own with only a loopback interface: there the test meets
# neither a running application nor another test. As root the test may mount in its mount table
# (ORVANE_TEST_PRIVATE_MOUNTS=1). Where no namespace can be made the test runs as it is: the
# CTest resource locks on the ports keep such tests apart, and what it started detached
# outlives it.
set -u

# ---- the test's side: the namespace's first process, or a child of the script without one

# Starts Xvfb on a display number it picks itself (-displayfd: the server takes the first free
# number atomically and writes it once it accepts connections) and exports DISPLAY. The server
# gets SIGKILL should this script die without its cleanup. False when no server came up within
# a minute.
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
    # Until the server writes its number; a server that fails closes the pipe unwritten.
    n=$(timeout 60 head -n 1 "$tmp/displayfd")
    rm -f "$tmp/displayfd"
    case "$n" in
        ''|*[!0-9]*)
            echo "run-test.sh: Xvfb gave no display number within 60 s:" >&2
            cat "$tmp/xvfb.log" >&2
            kill -KILL "$xvfb" 2>/dev/null
            wait "$xvfb" 2>/dev/null
            xvfb=""
            return 1 ;;
    esac
    export DISPLAY=":$n"
}

# Runs the test as a child in a process group of its own (the shell answers signals while it waits,
# and reaps what the namespace hands it) and ends with its status. Ended early, the test's group
# gets SIGKILL; without a namespace, what left the group outlives it.
run_test() {
    tmp=$ORVANE_TEST_INNER
    unset ORVANE_TEST_INNER
    xvfb=""
    test=""
    cleanup() {
        if [ -n "$test" ]; then
            kill -KILL "-$test" 2>/dev/null
            wait "$test" 2>/dev/null
        fi
        if [ -n "$xvfb" ]; then
            kill "$xvfb" 2>/dev/null
            wait "$xvfb" 2>/dev/null
        fi
        rm -rf "$tmp"
    }
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    # With ORVANE_TEST_PRIVATE_X=1 (tests that read back what the screen shows, or watch every
    # window mapped on it) the test gets an X server of its own, so other tests' windows never
    # appear on it.
    if [ "${ORVANE_TEST_PRIVATE_X:-0}" = 1 ] && command -v Xvfb >/dev/null 2>&1; then
        start_xvfb || exit 1
    fi
    mkdir -p "$tmp/home/Documents" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
    export HOME="$tmp/home"
    export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache"
    export XDG_RUNTIME_DIR="$tmp/runtime" XDG_DOCUMENTS_DIR="$tmp/home/Documents"
    export ORVANE_TEST_TMP="$tmp"
    # A command started with & ignores SIGINT and SIGQUIT; the test gets them back. setsid makes
    # the group (it forks only for a group leader, which a child started with & is not).
    setsid env --default-signal=INT,QUIT "$@" &
    test=$!
    wait "$test"
    status=$?
    test=""
    exit "$status"
}

if [ -n "${ORVANE_TEST_INNER:-}" ]; then
    run_test "$@"
fi

# ---- the script's side

# Replaces the shell by the command in the test's namespaces. Root: PID, mount and (when asked) network
# namespaces. Anyone else: a user namespace where we are root long enough to make them and bring
# the loopback up, then a nested one that maps us back to our own ids, so that file permissions
# mean in the test what they mean outside. --kill-child: should unshare die, the namespace's
# first process gets SIGKILL, and with it every process of the namespace.
in_namespaces() {
    net=""
    up=""
    if [ "${ORVANE_TEST_PRIVATE_NET:-0}" = 1 ] && command -v ip >/dev/null 2>&1; then
        net="--net"
        up="ip link set lo up &&"
    fi
    if [ "$(id -u)" = 0 ]; then
        exec unshare --pid --fork --kill-child --mount-proc $net -- sh -c "$up"' exec "$@"' sh "$@"
    else
        exec unshare --user --map-root-user --pid --fork --kill-child --mount-proc $net -- sh -c \
            "$up"' uid=$1 gid=$2 && shift 2 &&
             exec unshare --user --map-user="$uid" --map-group="$gid" -- "$@"' \
            sh "$(id -u)" "$(id -g)" "$@"
    fi
}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-test.XXXXXX") || exit 1

# The guard: a process whose parent has gone (so it is no descendant of this script), reading the
# pipe until no writer is left, then removing the folder. This script and the test's processes
# inherit the write end (fd 9).
if command -v setsid >/dev/null 2>&1 && mkfifo "$tmp/guard"; then
    (setsid sh -c 'cat "$1" >/dev/null; rm -rf "$2"' sh "$tmp/guard" "$tmp" </dev/null >/dev/null 2>&1 &)
    exec 9>"$tmp/guard"
fi

child=""
stop=TERM
end() {
    if [ -n "$child" ]; then
        kill -"$stop" "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    rm -rf "$tmp"
    exit "$1"
}
trap 'end 130' INT
trap 'end 143' TERM

# A dry run first: where the system refuses the namespaces the test runs here as it is.
export ORVANE_TEST_INNER="$tmp"
if command -v unshare >/dev/null 2>&1 && (in_namespaces true) >/dev/null 2>&1 9>&-; then
    [ "$(id -u)" = 0 ] && export ORVANE_TEST_PRIVATE_MOUNTS=1
    in_namespaces "$0" "$@" &
    # unshare ignores TERM; killed, it takes the namespace with it.
    stop=KILL
else
    "$0" "$@" &
fi
child=$!
exec 9>&-
wait "$child"
status=$?
rm -rf "$tmp"
exit "$status"
