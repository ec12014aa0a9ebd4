#!/usr/bin/env bash
# Makes the technician's guide's pictures from the real program: the x64 panelcal.exe
# under Wine with the simulated controller, on a virtual 640x480 screen, in English and in
# Japanese (see scripts/make_pictures.py for what each picture shows).
#
#   scripts/make-pictures.sh OUT_DIR [--exe PANELCAL_EXE --driver PNLDRV_SYS]
#
# Without --exe or --driver it builds the mingw preset and takes build/mingw/panelcal.exe
# and build/mingw/controller/driver/pnldrv.sys. OUT_DIR is emptied and gets en/ and ja/,
# each with calibration.png, target-pressed.png, order-9.png, order-20.png,
# test-screen-bottom.png, test-screen-top.png, setup-dialog.png, box-diag.png,
# box-cal-in.png, box-cal-out.png and panel-edges.png; it stays empty when a step fails.
# Two runs give the same files, byte for byte. Prints nothing on stdout; progress goes to
# stderr.
set -euo pipefail
exec >&2 # nothing on stdout: every step's output goes to stderr

usage() {
    echo "usage: $0 OUT_DIR [--exe PANELCAL_EXE --driver PNLDRV_SYS]"
    exit 2
}

(($#)) || usage
out=$(realpath -m "$1")
shift
exe="" driver=""
while (($#)); do
    case $1 in
    --exe) [[ -n ${2:-} ]] || usage; exe=$(realpath -m "$2"); shift 2 ;;
    --driver) [[ -n ${2:-} ]] || usage; driver=$(realpath -m "$2"); shift 2 ;;
    *) usage ;;
    esac
done
cd "$(dirname "$0")/.."
if [[ $out == / || $out == "$PWD" || $out == "$HOME" ]]; then
    echo "not a folder to empty: $out"
    exit 2
fi

if [[ $(id -u) == 0 ]]; then
    bash scripts/install-deps.sh
fi
if [[ -z $exe || -z $driver ]]; then
    cmake --preset mingw >/dev/null
    cmake --build --preset mingw
    exe=${exe:-build/mingw/panelcal.exe}
    driver=${driver:-build/mingw/controller/driver/pnldrv.sys}
fi
for file in "$exe" "$driver"; do
    [[ -f $file ]] || { echo "not found: $file"; exit 2; }
done

rm -rf "$out"
mkdir -p "$out"
rig=$(mktemp -d "${TMPDIR:-/tmp}/panelcal-pictures.XXXXXX")
# The rig's Xvfb and Wine session end with the script, and its prefix (~700 MB) goes.
trap 'scripts/wine-rig.sh down "$rig" --purge >/dev/null 2>&1; rm -rf "$rig"' EXIT
started=$SECONDS
scripts/wine-rig.sh up "$rig" --driver "$driver" --screen 640x480 --wine-fonts
if ! python3 scripts/make_pictures.py --rig "$rig" --exe "$exe" --out "$out"; then
    rm -rf "$out" && mkdir -p "$out" # no pictures rather than some
    exit 1
fi
echo "make-pictures: $out in $((SECONDS - started)) s"
