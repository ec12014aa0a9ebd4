#!/usr/bin/env bash
# Builds the release package panelcal-<version>.zip: the x64 and the x86 panelcal.exe
# (release builds, stripped, from fresh build folders), LICENSE, the technician's guide and
# SHA256SUMS over them. The version is the one in CMakeLists.txt. Prints the zip's path as
# its last line.
#
#   scripts/release.sh        into build/release/
#   PANELCAL_RELEASE_DIR=DIR scripts/release.sh
#                             into DIR (emptied first)
#
# Run it on a clean work tree: the package holds whatever the tree holds. Two runs on the
# same commit give the same zip, byte for byte.
set -euo pipefail
out=$(realpath -m "${PANELCAL_RELEASE_DIR:-$(dirname "$0")/../build/release}")
cd "$(dirname "$0")/.."
if [[ $out == / || $out == "$PWD" ]]; then
    echo "not a folder to empty: $out" >&2
    exit 2
fi

if [[ $(id -u) == 0 ]]; then
    bash scripts/install-deps.sh >&2
fi
if [[ -n $(git status --porcelain 2>/dev/null) ]]; then
    echo "warning: the work tree has changes that are not committed; the package holds them" >&2
fi
# Every entry of the zip carries the time of the last commit.
if [[ -z ${SOURCE_DATE_EPOCH:-} ]] && commit_time=$(git log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH=$commit_time
fi

rm -rf "$out"
mkdir -p "$out"
for arch in x64 x86; do
    case $arch in
    x64) preset=mingw ;;
    x86) preset=mingw-x86 ;;
    esac
    # Build output goes to stderr: the last line on stdout is the zip's path.
    cmake --preset "$preset" -B "$out/build-$arch" >&2
    cmake --build "$out/build-$arch" --target panelcal >&2
done
version=$(<"$out/build-x64/version.txt")

python3 scripts/pack_release.py "$out/panelcal-$version.zip" \
    x64/panelcal.exe="$out/build-x64/panelcal.exe" \
    x86/panelcal.exe="$out/build-x86/panelcal.exe" \
    LICENSE=LICENSE \
    technician-guide.md=docs/technician-guide.md
