#!/usr/bin/env bash
# Makes the Debian package in a Release build folder of its own (build-package) and checks it: the
# files a desktop installation needs, dependencies computed from the programs, a metainfo file
# that appstreamcli accepts, a valid menu entry, and programs that run from the unpacked package.
#
#   bash scripts/package.sh              # make and check build-package/vardimo_*.deb
#   bash scripts/package.sh --install    # also install it with apt-get, make a database with the
#                                        # installed vardimo-admin, then remove the package again
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build-package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARDIMO_BENCH=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
# Only the two programs: the package holds nothing else that is built.
cmake --build "$build" -j"$(nproc)" --target vardimo vardimo-admin
rm -f "$build"/vardimo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$PWD/$build"/vardimo_*.deb)
echo "package: $deb"

fail() {
  echo "package check: $*" >&2
  exit 1
}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/vardimo usr/bin/vardimo-admin usr/share/applications/vardimo.desktop \
  usr/share/icons/hicolor/scalable/apps/vardimo.svg usr/share/man/man1/vardimo.1 \
  usr/share/man/man1/vardimo-admin.1 usr/share/metainfo/org.vardimo.Vardimo.metainfo.xml \
  usr/share/vardimo/manual/index.html usr/share/vardimo/manual/manual.css; do
  [ -e "$root/$f" ] || fail "not in the package: /$f"
done
# Every page the manual's contents name is in the package.
pages=$(grep -o 'href="[A-Za-z0-9_-]*\.html"' "$root/usr/share/vardimo/manual/index.html" | cut -d'"' -f2)
[ "$(wc -w <<<"$pages")" -ge 10 ] || fail "the manual's contents name too few pages"
for p in $pages; do
  [ -e "$root/usr/share/vardimo/manual/$p" ] || fail "the manual's contents name a missing page: $p"
done
# Computed from the programs' libraries, plus the plugins Qt loads at run time.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for p in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6sql6 libqt6charts6 libsqlite3-0 \
  libqt6sql6-sqlite qt6-qpa-plugins; do
  grep -qxF "$p" <<<"$names" || fail "Depends lacks $p: $depends"
done
appstreamcli validate --no-net "$root/usr/share/metainfo/org.vardimo.Vardimo.metainfo.xml"
desktop-file-validate "$root/usr/share/applications/vardimo.desktop"
# The unpacked tool runs against the system's libraries: it makes a database and reads it back.
"$root/usr/bin/vardimo-admin" create "$root/db" --sample small >/dev/null
"$root/usr/bin/vardimo-admin" info "$root/db" | grep -qi goals || fail "vardimo-admin info shows no goals"
echo "package check: passed"

if [ "${1:-}" = --install ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y -qq "$deb" >/dev/null
  dpkg -L vardimo | grep -q /usr/share/vardimo/manual/index.html || fail "the manual was not installed"
  /usr/bin/vardimo-admin create "$root/installed-db" --sample small >/dev/null
  /usr/bin/vardimo-admin info "$root/installed-db" | grep -qi goals || fail "the installed vardimo-admin failed"
  $SUDO apt-get remove -y -qq vardimo >/dev/null
  echo "package install: passed"
fi
