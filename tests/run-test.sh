#!/bin/sh
# Runs one test program with a fresh temporary HOME and XDG folders, removed afterwards.
set -u
tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-test.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT INT TERM
mkdir -p "$tmp/home/Documents" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export HOME="$tmp/home"
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache"
export XDG_RUNTIME_DIR="$tmp/runtime" XDG_DOCUMENTS_DIR="$tmp/home/Documents"
export ORVANE_TEST_TMP="$tmp"
"$@"
