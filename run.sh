#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quorvane.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
exec "${QV_BUILD_DIR:-build}/src/quorvane" "$@"
