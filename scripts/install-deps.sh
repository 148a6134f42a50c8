#!/bin/sh
# Installs the Debian packages of scripts/packages.txt that are missing.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
missing=""
for p in $(grep -v '^#' "$here/packages.txt"); do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
