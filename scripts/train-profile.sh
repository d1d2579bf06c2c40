#!/bin/sh
# Runs the training scripts (scripts/profile-training/*.srn: typical programs —
# functions and recursion, loops and conditions, texts, tables, numbers) with
# an executable built with SORANE_PROFILE_GENERATE, which writes the counts of
# the branches they take into its profile folder. Earlier counts are removed
# first (gcc would add to them). The scripts run in the folder "training"
# beside the counts, since the tables script writes files beside itself; the
# folder's name is always the same and address randomisation is turned off
# where the system allows it, so the counts come out the same from run to run
# and a rebuild with an unchanged source finds its objects in ccache.
#   scripts/train-profile.sh SORANE COUNTS
set -eu
sorane=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
counts=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$counts"
scratch=$(dirname "$counts")/training
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$here"/profile-training/*.srn "$scratch"/
fixed=""
if setarch "$(uname -m)" -R true 2>/dev/null; then fixed="setarch $(uname -m) -R"; fi
for script in "$scratch"/*.srn; do
  (cd "$scratch" && $fixed "$sorane" --console "$(basename "$script")" >/dev/null) || {
    echo "training script $(basename "$script") failed"
    exit 1
  }
done
