#!/usr/bin/env bash
# Installs what building and running need, builds, and starts the program
# with the sample word file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/bin/vevez
