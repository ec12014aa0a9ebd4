#!/usr/bin/env bash
# Runs the calibration utility under Wine with the simulated touch-panel controller.
#
#   scripts/run-utility.sh [--lang LOCALE]      (e.g. --lang ja_JP.UTF-8 for Japanese)
#
# LOCALE (by default the caller's own) is the LANG of the Wine session and of the utility.
# Installs what is missing, builds the Windows executable and the simulated driver (MinGW
# preset), prepares a Wine prefix with the driver as a kernel service (kept in
# build/wine-run/prefix, so later runs start quickly), then:
#   - with $DISPLAY set: starts the utility on that display and waits for it to end;
#   - without one: starts a virtual display (Xvfb), plays a scripted run (touches every
#     target, draws on the test screen, Delete, Enter) and saves a screenshot of every
#     step into build/wine-run/screens-<time>/.
# Either way it ends by showing the controller's request log and telling where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

lang=${LC_ALL:-${LANG:-C.UTF-8}} # the caller's own language unless --lang says otherwise
while (($#)); do
    case $1 in
    --lang) lang=$2; shift 2 ;;
    *) echo "usage: $0 [--lang LOCALE]" >&2; exit 2 ;;
    esac
done

if [[ $(id -u) == 0 ]]; then
    bash scripts/install-deps.sh
else
    echo "not root: skipping scripts/install-deps.sh (run it as root if something is missing)"
fi
# Wine takes the language from the locale, and silently shows English when it does not exist.
# locale -a writes "ja_JP.utf8" for ja_JP.UTF-8.
known_locale() {
    local wanted=${1,,}
    locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/utf-8$/utf8/' |
        grep -qxF "${wanted/%utf-8/utf8}"
}
if ! known_locale "$lang"; then
    echo "the locale $lang does not exist here (see locale -a); scripts/install-deps.sh, run" \
        "as root, makes ja_JP.UTF-8" >&2
    exit 2
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw
win=$root/build/mingw
exe=$win/panelcal.exe
driver=$win/controller/driver/pnldrv.sys
probe=$win/controller/driver/pnlprobe.exe

run=$root/build/wine-run
mkdir -p "$run"
if [[ -n ${DISPLAY:-} ]]; then
    scripts/wine-rig.sh up "$run" --driver "$driver" --display "$DISPLAY" --keep-prefix
else
    scripts/wine-rig.sh up "$run" --driver "$driver" --keep-prefix
fi
trap 'scripts/wine-rig.sh down "$run"' EXIT
# shellcheck disable=SC1091
source "$run/rig.env"

status=0
if [[ -n $XVFB_PID ]]; then
    shots=$run/screens-$(date +%Y%m%d-%H%M%S)
    mkdir -p "$shots"
    echo "no DISPLAY: scripted run on the virtual display $DISPLAY, screenshots in $shots"
    python3 tests/e2e/demo_run.py --rig "$run" --exe "$exe" --probe "$probe" --shots "$shots" \
        --lang "$lang" || status=$?
    echo "screenshots: $shots"
else
    # The session starts with the driver; wait for its device before the utility looks
    # for it. The first wine command of a session writes to a file, never to a pipe. The
    # session starts under the chosen language: the first program to show a window in a
    # session gets the language of the session's start, whatever its own LANG.
    export LANG=$lang
    unset LC_ALL
    wineserver -p
    wine "$probe" wait 30 >"$run/probe.out" 2>&1 || {
        cat "$run/probe.out"
        echo "the simulated controller's device did not appear" >&2
        exit 1
    }
    echo "starting the utility on $DISPLAY (Esc or Alt+F4 to leave; Enter on the test screen)"
    wine "$exe" >"$run/program.out" 2>&1 || status=$?
    echo "exit code $status"
fi

echo
echo "requests the controller received (sequence, time, request, reply, status):"
cat "$PNL_LOG"
echo "request log: $PNL_LOG"
exit "$status"
