#!/usr/bin/env bash
# Builds the release package panelcal-<version>.zip, which unpacks into one folder
# panelcal-<version>/: the x64 and the x86 panelcal.exe (release builds, stripped, from fresh
# build folders), the technician's guide in English and Japanese as HTML pages with pictures
# of this very x64 build (scripts/make-pictures.sh, then scripts/render-guides.sh), LICENSE,
# CHANGES and SHA256SUMS over them all. The version is the one in CMakeLists.txt. Prints the
# zip's path as its last line.
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
# Build output goes to stderr: the last line on stdout is the zip's path. The x64 build is
# the whole preset, so that the simulated driver is there for the pictures.
cmake --preset mingw -B "$out/build-x64" >&2
cmake --build "$out/build-x64" >&2
cmake --preset mingw-x86 -B "$out/build-x86" >&2
cmake --build "$out/build-x86" --target panelcal >&2
version=$(<"$out/build-x64/version.txt")

bash scripts/make-pictures.sh "$out/pictures" --exe "$out/build-x64/panelcal.exe" \
    --driver "$out/build-x64/controller/driver/pnldrv.sys" >&2
bash scripts/render-guides.sh "$out/guides" --pictures "$out/pictures" >&2
# Notepad before Windows 10 shows a text file's lines only when they end in CRLF.
sed 's/\r*$/\r/' LICENSE >"$out/LICENSE"

files=(
    x64/panelcal.exe="$out/build-x64/panelcal.exe"
    x86/panelcal.exe="$out/build-x86/panelcal.exe"
    LICENSE="$out/LICENSE"
    CHANGES=CHANGES
)
while IFS= read -r page; do
    files+=("$page=$out/guides/$page")
done < <(cd "$out/guides" && find . -type f -printf '%P\n' | sort)

python3 scripts/pack_release.py "$out/panelcal-$version.zip" "panelcal-$version" "${files[@]}"
