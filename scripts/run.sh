#!/usr/bin/env bash
# Sets up, builds, writes a sample scan set into a scratch folder and starts
# the program there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build rastrel make_samples
folder=${RASTREL_SAMPLE_DIR:-$(mktemp -d /tmp/rastrel-sample.XXXXXX)}
"$root/build/make_samples" "$folder"
echo "Sample scans in $folder (bad ones in $folder/bad)"
cd "$folder"
exec "$root/build/rastrel" "$@"
