#!/usr/bin/env bash
# Builds everything and runs every test: the host tests over the simulated Windows, the
# checks of the three Windows executables (x64 and x86 with GCC, x64 with Clang), their
# reproducibility and the release package, the road tests of the x64 .exe under Wine and of
# the x86 .exe under a 32-bit Wine, the host tests again under the sanitizers, and a short
# fuzzing campaign.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The 32-bit Wine of the x86 build's road tests: built once into a cache outside the work
# tree (some six minutes), found there by later runs and other clones.
bash scripts/wine32-chroot.sh cache

for preset in mingw mingw-x86 clang-mingw; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

cmake --preset host -DPANELCAL_WIN_BUILD="$PWD/build/mingw" \
    -DPANELCAL_WIN_X86_BUILD="$PWD/build/mingw-x86" \
    -DPANELCAL_WIN_CLANG_BUILD="$PWD/build/clang-mingw" >/dev/null
cmake --build --preset host

ctest --preset host "$@"

# The host tests (label host) once more, built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer; the checks of the .exe and the road tests do not run twice.
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan
ctest --preset host-asan "$@"

# The fuzzer of the whole program (libFuzzer, same sanitizers): a short campaign from the seed
# corpus (label fuzz).
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz "$@"
