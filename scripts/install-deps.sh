#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Installs only what is missing; needs root (or sudo) for apt-get.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libx11-dev libxss-dev libxext-dev x11-utils xvfb xauth openbox xfwm4
  python3-xdg systemd
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgif-dev
  zlib1g-dev
  libsystemd-dev
  libmosquitto-dev mosquitto
  libcpp-httplib-dev
  fonts-liberation2 fontconfig
  python3
  openssl
  dpkg-dev fakeroot file lintian scdoc man-db devscripts librsvg2-bin
)
# KWin for the window-manager test, without what it recommends (a whole
# Plasma desktop): 29 MB to fetch, 180 MB installed.
# Headless Chromium and its WebDriver for the hall overview's browser test,
# without the desktop bits they recommend.
LEAN=(kwin-x11 kwin-style-breeze chromium chromium-driver)

fehlt() { ! dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=() lean=()
for p in "${PACKAGES[@]}"; do if fehlt "$p"; then missing+=("$p"); fi; done
for p in "${LEAN[@]}"; do if fehlt "$p"; then lean+=("$p"); fi; done

if [ ${#missing[@]} -eq 0 ] && [ ${#lean[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    echo "install-deps: need root to install: ${missing[*]} ${lean[*]}" >&2
    exit 1
  fi
fi
echo "install-deps: installing ${missing[*]} ${lean[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
[ ${#missing[@]} -eq 0 ] || $SUDO apt-get install -y -qq "${missing[@]}"
[ ${#lean[@]} -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${lean[@]}"
fc-cache -f >/dev/null 2>&1 || true
