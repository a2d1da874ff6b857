#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libimgui-dev nlohmann-json3-dev libstb-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev zlib1g-dev
  libdbus-1-dev libx11-dev libxext-dev
  fonts-dejavu-core ca-certificates xvfb xauth libgl1-mesa-dri x11-apps
  clang libclang-rt-14-dev dbus
  libxxhash-dev locales-all
  # Named time zones: the zone database and a library that reads it.
  libhowardhinnant-date-dev tzdata
  libdbusmenu-glib-dev libxtst-dev
  # The C library's symbols: ThreadSanitizer names its time-zone code by them,
  # which the tests' suppression of that code's (lock-guarded) state needs.
  libc6-dbg
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
