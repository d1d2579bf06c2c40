#!/bin/sh
# Installs every system package the build, the tests and the benchmarks need.
# Idempotent: packages already present are left alone and nothing is printed for them.
set -eu

PACKAGES="
  build-essential cmake ninja-build ccache pkg-config clang clang-format libclang-rt-14-dev bolt-16
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev qt6-webengine-dev libqscintilla2-qt6-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libonig-dev libcurl4-openssl-dev libarchive-dev libffi-dev
  libpng-dev libjpeg-dev zlib1g-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk fontconfig
  python3 python3-pil lua5.4 xvfb
  python3-pyftpdlib libgmime-3.0-dev python3-aiosmtpd dovecot-pop3d openssl
  libarchive-tools p7zip-full lhasa gcab
  groff-base dpkg-dev
  libx11-dev libxtst-dev libsmbclient-dev
  libreoffice-calc-nogui libreoffice-writer-nogui python3-uno
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
