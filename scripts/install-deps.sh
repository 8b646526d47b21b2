#!/usr/bin/env bash
# Installs the Debian 12 packages that Tavrin needs, only those missing:
#   install-deps.sh run    what building and running the program needs, the translation tools
#                          included (scripts/run.sh);
#   install-deps.sh test   that, and the tools of the tests: GoogleTest, clang and libFuzzer, the
#                          X servers, compositors and front-ends the end-to-end tests run, the
#                          package and metadata checks, the accessibility bus (scripts/test.sh).
set -euo pipefail

# Building and running.
run_packages=(
  g++ cmake make pkg-config
  qt6-base-dev qt6-svg-dev qt6-wayland libxcb1-dev libxcb-screensaver0-dev libxcb-xinput-dev libxcb-dpms0-dev
  libglib2.0-dev
  fonts-dejavu-core libwayland-dev wayland-protocols libwayland-bin
  qt6-l10n-tools qt6-tools-dev
)

# The tests' tools.
test_packages=(
  git python3 file
  libgtest-dev libgmock-dev libbenchmark-dev clang libfuzzer-14-dev
  xvfb x11-utils x11-xserver-utils x11-apps xauth xscreensaver dbus-daemon sway
  dpkg-dev lintian desktop-file-utils xsecurelock mate-screensaver dbus
  swayidle grim wtype python3-dbus dbus-x11
  kwin-wayland qtwayland5 libkf5screen-bin plasma-wayland-protocols xdotool weston
  gnome-shell python3-gi gjs systemd pipewire-bin wireplumber gstreamer1.0-pipewire gir1.2-gstreamer-1.0
  gir1.2-gtk-4.0 gir1.2-gdkpixbuf-2.0
  appstream at-spi2-core python3-pyatspi
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "All the packages needed are installed."
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing missing packages: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
