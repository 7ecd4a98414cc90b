#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${QV_BUILD_DIR:-build}" --output-on-failure "$@"
# The Debian package: built when out of date and checked; installed with apt
# and started only when QV_INSTALL_PACKAGE=1 (CI), never on a user's own machine.
if [ -z "${QV_SKIP_PACKAGE:-}" ] && command -v dpkg-deb >/dev/null; then
  ./scripts/check_package.sh
fi
