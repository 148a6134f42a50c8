#!/bin/sh
# Installs what is missing, builds, and starts the system. Ends with Orvane's exit status (the
# launcher's when Orvane is not built); Ctrl+C ends every program and then the script.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export BUILD_DIR=${BUILD_DIR:-$root/build-release}
"$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release -DORVANE_SANITIZE=OFF -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
bin="$BUILD_DIR/bin"
pids=""
# Ends the programs started in the background that still run and waits for them. Any of them may
# have ended already (Ctrl+C reaches the whole foreground group): that is no failure.
stop_programs() {
    for pid in $pids; do
        kill "$pid" 2>/dev/null || :
    done
    for pid in $pids; do
        wait "$pid" 2>/dev/null || :
    done
}
trap stop_programs EXIT
# Ctrl+C and SIGTERM: the script goes on once the program it waits for has ended, so that it ends
# with that program's status.
trap : INT TERM
if [ -x "$bin/korvid-launcher" ]; then
    "$bin/korvid-launcher" &
    launcher=$!
    pids="$pids $launcher"
fi
# ORVANE_FAKE_WIRELESS=1: two fake wireless cameras on 127.0.0.2 and 127.0.0.3, and discovery sent
# only to them, so the wireless mode can be tried without hardware.
if [ "${ORVANE_FAKE_WIRELESS:-}" = "1" ] && [ -x "$bin/fake-wireless-camera" ]; then
    export ORVANE_WIRELESS_TARGETS=127.0.0.2,127.0.0.3
    export ORVANE_TEST_WIRELESS=1    # the window has no way into the wireless device mode
    export ORVANE_WIRELESS_RTSP_PORT=${ORVANE_WIRELESS_RTSP_PORT:-8554}
    for address in 127.0.0.2 127.0.0.3; do
        "$bin/fake-wireless-camera" --address "$address" --wifiname "Fake $address" --moving &
        pids="$pids $!"
    done
fi
status=0
if [ -x "$bin/Orvane" ]; then
    "$bin/Orvane" "$@" || status=$?
elif [ -n "${launcher:-}" ]; then
    echo "Orvane is not built yet; korvid-launcher runs until interrupted (Ctrl+C)."
    # A trapped signal ends the wait before the launcher has ended: wait again for its status.
    while kill -0 "$launcher" 2>/dev/null; do
        status=0
        wait "$launcher" || status=$?
    done
    pids=""
else
    echo "Nothing to start yet: build products are in $bin"
fi
exit "$status"
