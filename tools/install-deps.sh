#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine.
set -e
SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    g++ make cmake libgtest-dev libedit2 libjpeg62-turbo-dev file >/dev/null
