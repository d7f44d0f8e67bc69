#!/usr/bin/env bash
# Makes the .deb from a Linux build, checks it (lintian with no error, the AppStream file valid),
# installs it on this machine with apt, runs the installed program, checks that the installed
# icons have an alpha channel, and removes it again, leaving nothing behind.
#   scripts/package.sh [PRESET]     (default ci; the build must exist)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-ci}
build=build/$preset
bash scripts/deps.sh lintian appstream dpkg-dev
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

cmake --build --preset "$preset"
rm -f "$build"/taktomat_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/taktomat_*.deb)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --contents "$deb"

# lintian's errors fail the package; its warnings are shown.
lintian --fail-on error "$deb"
appstreamcli validate --no-net packaging/*.metainfo.xml
# Dialling needs pppd; the meter alone does not.
[ "$(dpkg-deb -f "$deb" Recommends)" = ppp ] ||
  { echo "package: the .deb does not recommend ppp" >&2; exit 1; }

# Nothing of ours may be installed before, or the removal below would prove nothing.
if dpkg-query -W -f='${Status}' taktomat 2>/dev/null | grep -q "install ok installed"; then
  $sudo apt-get remove -y -o DPkg::Lock::Timeout=600 taktomat
fi
$sudo apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "./$deb"
trap '$sudo apt-get remove -y -o DPkg::Lock::Timeout=600 taktomat >/dev/null 2>&1 || true' EXIT
version=$(/usr/bin/taktomat --version)
echo "installed: $version"
[ "$version" = "Taktomat 2000 $(dpkg-deb -f "$deb" Version | sed 's/-[0-9]*$//')" ] ||
  { echo "package: the installed program says \"$version\"" >&2; exit 1; }
for tool in $(dpkg -L taktomat | grep '^/usr/bin/'); do
  [ -x "$tool" ] || { echo "package: $tool is not executable" >&2; exit 1; }
  page=/usr/share/man/man1/$(basename "$tool").1.gz
  [ -f "$page" ] || echo "package: warning: no manual page for $tool" >&2
done
man -l /usr/share/man/man1/taktomat.1.gz >/dev/null 2>&1 || zcat /usr/share/man/man1/taktomat.1.gz >/dev/null
for icon in $(dpkg -L taktomat | grep '^/usr/share/icons/.*\.png$'); do
  # ImageMagick says "Blend" (or True) for a picture with an alpha channel, "Undefined" without.
  alpha=$(identify -format '%A' "$icon")
  case "$alpha" in
    Blend|True|blend|true) ;;
    *) echo "package: $icon has no alpha channel ($alpha)" >&2; exit 1 ;;
  esac
  corner=$(convert "$icon" -format '%[fx:int(255*p{0,0}.a)]' info:)
  [ "$corner" = 0 ] || { echo "package: $icon is not transparent in its corner" >&2; exit 1; }
done
echo "package: the icons have an alpha channel and transparent corners"
for key in 'Name\[pl\]' 'GenericName\[pl\]' 'Comment\[pl\]'; do
  grep -q "^$key=." /usr/share/applications/taktomat.desktop ||
    { echo "package: the menu entry has no $key" >&2; exit 1; }
done

$sudo apt-get remove -y -o DPkg::Lock::Timeout=600 taktomat
trap - EXIT
state=$(dpkg-query -W -f='${db:Status-Status}' taktomat 2>/dev/null || echo not-installed)
[ "$state" = not-installed ] || { echo "package: after removal the package is $state" >&2; exit 1; }
[ ! -e /usr/bin/taktomat ] || { echo "package: /usr/bin/taktomat left after removal" >&2; exit 1; }
echo "package: installed, ran and removed cleanly"
