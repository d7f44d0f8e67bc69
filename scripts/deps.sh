#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, with one package-list update at
# the most; does nothing when they are all there already.
#   deps.sh              the Linux build and its tests (with the virtual machine of the pppd tests)
#   deps.sh --windows    also the MinGW-w64 cross build and Wine for its tests
#   deps.sh NAME...      also these packages
set -euo pipefail
want=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
      clang-format qt6-base-dev fonts-liberation xvfb x11-utils xdotool imagemagick trayer
      qemu-system-x86 linux-image-amd64 busybox-static ppp socat cpio e2fsprogs
      dpkg-dev lintian appstream unzip clang-tidy shellcheck gcovr dbus-daemon dbus-bin iproute2
      zlib1g-dev x11-xserver-utils)
for arg in "$@"; do
  case "$arg" in
    --windows) want+=(g++-mingw-w64-i686 libz-mingw-w64-dev googletest wine wine32:i386 wine64) ;;
    *) want+=("$arg") ;;
  esac
done
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
