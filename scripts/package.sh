#!/usr/bin/env bash
# Builds the Debian package of TitleDeck (titledeck_VERSION_ARCH.deb) and checks
# it: the files it must hold, the desktop entry, the AppStream data and lintian.
#
#   scripts/package.sh [BUILD_DIR]
#
# BUILD_DIR (default build-package) is configured as a Release build when it is
# new; an existing one must be a Release build without sanitizers. The package
# is written to BUILD_DIR/packages; its path is the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

# dpkg-shlibdeps (dpkg-dev) and file find the libraries the programs need;
# rsvg-convert renders the icon sizes.
packages=(dpkg-dev file librsvg2-bin lintian appstream desktop-file-utils)
scripts/install-missing.sh "${packages[@]}"

if [ -f "$build/CMakeCache.txt" ]; then
  cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
  if [ "$(cache CMAKE_BUILD_TYPE)" != Release ] || [ "$(cache TD_SANITIZE)" = ON ]; then
    echo "$build is not a plain Release build: give another build folder" >&2
    exit 1
  fi
  # A build folder configured before rsvg-convert was installed looks again.
  cmake "$build" >/dev/null
else
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$build" -j"$(nproc)" --target titledeck titledeck-cli titledeck_packaging_files

out="$(cd "$build" && pwd)/packages"
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/titledeck_*.deb)

echo "== package $(basename "$deb")"
dpkg-deb --field "$deb"

echo "== files"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
expected=(
  usr/bin/titledeck
  usr/bin/titledeck-cli
  usr/share/applications/com.korvel.TitleDeck.desktop
  usr/share/metainfo/com.korvel.TitleDeck.metainfo.xml
  usr/share/mime/packages/titledeck.xml
  usr/share/icons/hicolor/scalable/apps/titledeck.svg
  usr/share/icons/hicolor/48x48/apps/titledeck.png
  usr/share/icons/hicolor/256x256/apps/titledeck.png
  usr/lib/udev/rules.d/70-titledeck.rules
  usr/share/man/man1/titledeck.1.gz
  usr/share/man/man1/titledeck-cli.1.gz
  usr/share/doc/titledeck/copyright
  usr/share/doc/titledeck/changelog.gz
)
for f in "${expected[@]}"; do
  [ -s "$root/$f" ] || { echo "the package lacks /$f" >&2; exit 1; }
done
echo "all ${#expected[@]} expected files present"
version=$(dpkg-deb --field "$deb" Version)
for program in titledeck titledeck-cli; do
  # The window program answers without a display.
  answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version 2>/dev/null)
  case "$answer" in
    *" $version") echo "$program --version: $answer" ;;
    *) echo "$program --version says \"$answer\", the package is $version" >&2; exit 1 ;;
  esac
done

echo "== desktop-file-validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop && echo "no remarks"
echo "== appstreamcli validate"
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml
echo "== lintian"
# Errors fail the package; warnings and notes are shown.
lintian --fail-on error --display-info --pedantic "$deb" || {
  echo "lintian found errors" >&2
  exit 1
}
echo "lintian: no errors"
echo "$deb"
