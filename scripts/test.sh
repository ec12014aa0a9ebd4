#!/usr/bin/env bash
# Builds everything and runs every test: the host tests over the simulated Windows, the
# checks of the Windows executable, and the road tests of the real .exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw

cmake --preset host -DPANELCAL_WIN_BUILD="$PWD/build/mingw" >/dev/null
cmake --build --preset host

ctest --preset host "$@"
