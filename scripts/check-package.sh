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
dpkg-deb -x "$deb" "$scratch/root"
for f in usr/bin/sorane usr/share/man/man1/sorane.1 usr/share/doc/sorane/tutorial.md \
         usr/share/doc/sorane/reference.md usr/share/sorane/editors/sorane.tmLanguage.json; do
  [ -e "$scratch/root/$f" ] || { echo "$deb lacks /$f"; exit 1; }
done
version=$("$scratch/root/usr/bin/sorane" --version)
case "$version" in
  "sorane "[0-9]*) echo "$(basename "$deb"): $version; Depends: $depends" ;;
  *) echo "unexpected --version output: $version"; exit 1 ;;
esac
