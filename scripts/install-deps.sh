#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the desktop application need.
# Idempotent: packages already present are left alone, and nothing runs apt-get when all are there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-14-dev
    libembree-dev libtbb-dev
    qt6-base-dev qt6-image-formats-plugins qt6-multimedia-dev libqt6svg6 qt6-webengine-dev
    libplist-dev libplist-utils
    libpng-dev libtiff-dev libjpeg-dev
    lib3ds-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 xvfb xauth xdotool imagemagick
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
