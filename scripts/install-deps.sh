#!/usr/bin/env bash
# Installs the Debian 12 packages that Tavrin needs to build, run and test: only those missing.
set -euo pipefail

packages=(
  g++ cmake make git pkg-config python3 file
  qt6-base-dev qt6-svg-dev qt6-wayland libxcb1-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev clang libfuzzer-14-dev
  xvfb x11-utils x11-xserver-utils x11-apps xauth xscreensaver dbus-daemon sway
  dpkg-dev lintian desktop-file-utils xsecurelock mate-screensaver dbus
  libwayland-dev wayland-protocols libwayland-bin swayidle grim wtype python3-dbus dbus-x11
  kwin-wayland qtwayland5 libkf5screen-bin plasma-wayland-protocols
  gnome-shell python3-gi
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "All build and test packages are installed."
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing missing packages: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
