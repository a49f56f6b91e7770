#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the tests and the demo need, and makes the Polish locale our
# operators' desktops use (the tests run under it too). Idempotent: the package index is refreshed and
# packages are installed only when something is missing, and the locale is made only when it is missing.
set -euo pipefail
source "$(dirname "$0")/lib/packages.sh"

packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev
  clang-format           # the test command checks the layout of our C++ files with it
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation
  help2man               # the tools' manual pages, made from their --help
  lintian                # the install test checks the Debian package with it
  qt6-translations-l10n  # Qt's own texts in Polish
  locales                # the definitions the Polish locale is made from
  # tests, peers and screenshots
  python3 python3-pymodbus python3-serial python3-serial-asyncio mbpoll socat
  xvfb xauth imagemagick xdotool desktop-file-utils appstream dpkg-dev
  file  # CPack computes the package's dependencies with it
  # publishing to a plant's MQTT broker: the client library, and a real broker and clients to test against
  pkg-config libmosquitto-dev mosquitto mosquitto-clients openssl
)

install_missing "${packages[@]}"

# Made through /etc/locale.gen, so that a later run of locale-gen (an upgrade of `locales`) keeps it.
if ! locale -a 2>/dev/null | grep -ix 'pl_PL\.utf-\?8' >/dev/null; then
  echo "setup: making the pl_PL.UTF-8 locale" >&2
  if ! grep -q '^pl_PL\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'pl_PL.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  fi
  as_root locale-gen
fi
