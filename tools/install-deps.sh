#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine.
# Does nothing (no package-list update, no wait on another apt) when every
# package is already installed.
set -e
packages="g++ make cmake libgtest-dev libedit2 libjpeg62-turbo-dev file"

missing=
for package in $packages; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    if [ "$status" != installed ]; then
        missing="$missing $package"
    fi
done
if [ -z "$missing" ]; then
    exit 0
fi

SUDO=
if [ "$(id -u)" != 0 ] && command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
