#!/bin/sh
# Installs what is needed, builds sorane and runs the hello sample in the console.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
./build/sorane --console samples/hello.srn
