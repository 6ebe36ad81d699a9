#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window program need, when missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libspooles-dev libfltk1.3-dev libfreetype-dev libpng-dev
          fonts-dejavu-core fonts-liberation2 libgtest-dev xvfb xauth x11-apps imagemagick xdotool
          clang clang-format libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
