#!/bin/sh
# Installs the Debian packages a task needs, when they are missing.
# Usage: scripts/deps.sh run|demo|install|build|deb|test|windows|candidates
#   run, demo  build and start the program: make, compiler, ccache, CMake, Qt, Qt's lrelease, libjpeg, libudev,
#              fontconfig
#   install    that, and rsvg-convert for the icon's PNG sizes
#   build      the whole tree, tests and benchmarks included
#   deb        the Debian package (build-essential, debhelper) and the tools that check it
#   test       everything `make test` runs: all of the above, clang, qemu and debootstrap for the
#              kernel tests, node_exporter for the Prometheus check, an X server, D-Bus and the
#              AT-SPI registry with pyatspi for the screen-reader test, and the Windows build's
#              packages
#   candidates installs nothing: fails unless every package named here can be installed on this
#              release (a check that the lists hold for Debian 12 and 13 alike)
#   windows    the Windows build: MinGW-w64, wine, NSIS, the icon's tools, and what building Qt
#              and libjpeg-turbo for Windows from Debian's sources needs (a deb-src entry is
#              added for them)
set -eu

program="make cmake ninja-build g++ ccache pkg-config qt6-base-dev qt6-l10n-tools libjpeg62-turbo-dev libudev-dev libfontconfig-dev fonts-wine"
icons="librsvg2-bin"
testlibs="libgtest-dev libgmock-dev libbenchmark-dev libxcb1-dev python3"
deb="build-essential debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream $icons"
testing="clang libclang-rt-dev qemu-system-x86 busybox-static xz-utils cpio debootstrap e2fsprogs prometheus-node-exporter xvfb dbus at-spi2-core python3-pyatspi man-db"
# Qt for Windows is built with the host's Qt tools of the same version (qt6-base-dev-tools).
windows="make cmake ninja-build g++ ccache pkg-config qt6-base-dev qt6-base-dev-tools fonts-wine \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis \
  librsvg2-bin icoutils \
  dpkg-dev nasm zip libgtest-dev fonts-dejavu-core mandoc xvfb locales"

mode="${1:-build}"
# candidates: whether every package named above can be installed on this release (its apt lists
# as they are); installs nothing.
if [ "$mode" = candidates ]; then
  release=$(. /etc/os-release && echo "$PRETTY_NAME")
  none=""
  for p in $(printf '%s\n' $program $icons $testlibs $deb $testing $windows | sort -u); do
    candidate=$(apt-cache policy "$p" 2>/dev/null | awk '$1 == "Candidate:" { print $2 }')
    { [ -n "$candidate" ] && [ "$candidate" != "(none)" ]; } || none="$none $p"
  done
  if [ -n "$none" ]; then
    echo "$0: no install candidate on $release for:$none" >&2
    exit 1
  fi
  echo "every package named in $0 has an install candidate on $release"
  exit 0
fi
case "$mode" in
  run|demo) want="$program" ;;
  install) want="$program $icons" ;;
  build) want="$program $icons $testlibs" ;;
  deb) want="$program $deb" ;;
  test) want="$program $icons $testlibs $deb $testing $windows" ;;
  windows) want="$windows" ;;
  *) echo "usage: $0 run|demo|install|build|deb|test|windows|candidates" >&2; exit 2 ;;
esac

# `apt-get source` reads only deb-src entries; Debian's own entry is copied with that type.
debsrc=/etc/apt/sources.list.d/tarvenik-deb-src.sources
needsrc=""
if { [ "$mode" = windows ] || [ "$mode" = test ]; } && ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
  ! grep -qs '^deb-src ' /etc/apt/sources.list; then
  needsrc=yes
fi

missing=""
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && [ -z "$needsrc" ] && exit 0

if [ "$(id -u)" = 0 ]; then
  run=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  run="sudo"
elif command -v sudo >/dev/null 2>&1 && [ -t 0 ]; then
  run="sudo"
else
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y$missing" >&2
  exit 1
fi

if [ -n "$needsrc" ]; then
  # The sources of the release that runs here (bookworm, trixie, ...).
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$suite" ] || { echo "$0: /etc/os-release names no release for the deb-src entry" >&2; exit 1; }
  echo "Adding $debsrc ($suite)"
  mirror=$(grep -h '^URIs:' /etc/apt/sources.list.d/debian.sources 2>/dev/null | awk '{ print $2; exit }')
  printf '%s\n' 'Types: deb-src' "URIs: ${mirror:-http://deb.debian.org/debian}" "Suites: $suite" \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
    $run tee "$debsrc" >/dev/null
fi
[ -z "$missing" ] && { $run env DEBIAN_FRONTEND=noninteractive apt-get update -q; exit 0; }

echo "Installing:$missing"
$run env DEBIAN_FRONTEND=noninteractive apt-get update -q
$run env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends $missing
