#!/bin/sh
# Builds the Debian package of a build folder into a scratch folder, unpacks it
# into a scratch root and runs the packaged executable there.
#   scripts/check-package.sh BUILD
set -eu
build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/sorane-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"
  exit 1
}
deb=$(ls "$scratch"/sorane_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
  *libc6*) ;;
  *) echo "no library dependencies in $deb (Depends: $depends)"; exit 1 ;;
esac
# Libraries opened with dlopen are invisible to dpkg-shlibdeps: listed by hand.
for lib in libonig5 libsqlite3-0 libpng16-16 libjpeg62-turbo libffi8 libcurl4; do
  case "$depends" in
    *"$lib"*) ;;
    *) echo "$deb does not depend on $lib, loaded when first used (Depends: $depends)"; exit 1 ;;
  esac
done
dpkg-deb -x "$deb" "$scratch/root"
for f in usr/bin/sorane usr/share/man/man1/sorane.1 usr/share/doc/sorane/tutorial.md \
         usr/share/doc/sorane/reference.md usr/share/sorane/editors/sorane.tmLanguage.json; do
  [ -e "$scratch/root/$f" ] || { echo "$deb lacks /$f"; exit 1; }
done
# The window module is installed where the executable looks for it, and the
# executable itself does not load Qt.
[ -n "$(find "$scratch/root/usr/lib" -path "*/sorane/sorane-qt.so")" ] ||
  { echo "$deb lacks the window module sorane-qt.so"; exit 1; }
if ldd "$scratch/root/usr/bin/sorane" | grep -q libQt6; then
  echo "the installed sorane loads Qt even without a window"; exit 1
fi
window=$(QT_QPA_PLATFORM=offscreen "$scratch/root/usr/bin/sorane" --eval 'おわり' 2>&1) ||
  { echo "the installed sorane cannot run a window: $window"; exit 1; }
[ -z "$window" ] || { echo "the installed sorane's window said: $window"; exit 1; }
version=$("$scratch/root/usr/bin/sorane" --version)
case "$version" in
  "sorane "[0-9]*) echo "$(basename "$deb"): $version; Depends: $depends" ;;
  *) echo "unexpected --version output: $version"; exit 1 ;;
esac
