#!/usr/bin/env bash
# Prepares and tears down a rig for running the utility under Wine: an X display (a virtual
# Xvfb one unless told otherwise), a fresh Wine prefix with the settings the utility's runs
# need, and the simulated controller driver installed as a kernel service. The virtual
# screen is 1024x768 unless --screen gives another size. --wine-fonts puts Wine's own fonts
# (System, Tahoma, Marlett...) into the prefix, which Debian's Wine leaves without them: texts
# then look as on Windows, rather than in a fallback font, and a caption's close button shows
# its cross rather than the letter "r".
#
#   wine-rig.sh up DIR --driver PNLDRV.SYS [--display :N | --screen WxH] [--wine-fonts]
#                     [--keep-prefix]
#   wine-rig.sh down DIR [--purge]
#
# up writes DIR/rig.env, shell assignments to source before running wine:
#   DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES  the environment of every wine command
#   XVFB_PID          the Xvfb this rig started (empty when it uses a given display)
#   XVFB_FB           that Xvfb's screen as an XWD file, updated as the server draws
#   PNL_SERVICE_KEY   the driver's service key (script values go here, see pnldrv.c)
#   PNL_LOG           the driver's request log (Unix path)
# Logs of the steps stay in DIR (xvfb.log, wineboot.log, setup.log).
#
# Every wine command here writes to files: the first command of a Wine session starts
# service processes that inherit its output, so capturing it with $(...) or a pipe would
# wait for the whole session to end.
set -euo pipefail

SERVICE=PNLDRV

die() {
    echo "wine-rig: $*" >&2
    exit 1
}

# Windows form of a Unix path on Wine's Z: drive.
winpath() {
    local p
    p=$(readlink -m "$1")
    printf 'Z:%s' "${p//\//\\}"
}

# Polls a command until it succeeds or SECONDS have passed.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

start_xvfb() {
    local dir=$1 screen=$2
    : >"$dir/xvfb.display"
    # -displayfd: the server picks a free display itself and reports it once it is ready.
    # -fbdir: the screen is also a file (XWD format) that a test can read without a round
    # trip to the server. -br: a black root window, so that no window looks like background.
    # -noreset: by default an X server resets whenever its last client disconnects, and a
    # reset compiles the keymap again (xkbcomp) while connections that arrive meanwhile fail.
    # Until a Wine session's desktop process (explorer.exe) holds a connection, every xdotool
    # and xwd call is such a last client; an explorer.exe that starts during one of these
    # resets cannot open the display, and the program that started it gets no display
    # driver: its window cannot be created, and it ends without a word.
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -br -noreset -fbdir "$dir" \
        3>"$dir/xvfb.display" >"$dir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    XVFB_FB="$dir/Xvfb_screen0"
    wait_for 20 test -s "$dir/xvfb.display" || die "Xvfb did not start (see $dir/xvfb.log)"
    DISPLAY=":$(head -n1 "$dir/xvfb.display")"
    export DISPLAY
}

# wineboot -i now and then fails at once in a fresh prefix; a second try has always worked.
create_prefix() {
    local dir=$1 attempt
    for attempt in 1 2; do
        rm -rf "$WINEPREFIX"
        if wineboot -i >"$dir/wineboot.log" 2>&1 && wineserver -w &&
            [[ -f "$WINEPREFIX/system.reg" ]] &&
            [[ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]]; then
            return 0
        fi
        echo "wine-rig: wineboot failed (attempt $attempt), see $dir/wineboot.log" >&2
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    done
    return 1
}

cmd_up() {
    local dir="" driver="" display="" screen=1024x768 wine_fonts=0 keep=0
    dir=$1
    shift
    while (($#)); do
        case $1 in
        --driver) driver=$2; shift 2 ;;
        --display) display=$2; shift 2 ;;
        --screen) screen=$2; shift 2 ;;
        --wine-fonts) wine_fonts=1; shift ;;
        --keep-prefix) keep=1; shift ;;
        *) die "unknown option $1" ;;
        esac
    done
    [[ -n $driver && -f $driver ]] || die "driver not found: '$driver'"
    [[ $screen =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || die "screen size not WIDTHxHEIGHT: '$screen'"
    mkdir -p "$dir"
    dir=$(readlink -f "$dir")
    driver=$(readlink -f "$driver")

    XVFB_PID=""
    XVFB_FB=""
    ready=0 # read by the EXIT trap
    # A rig that fails half-way leaves nothing running behind.
    trap 'if ((!ready)); then
              [[ -n ${WINEPREFIX:-} ]] && wineserver -k >/dev/null 2>&1
              [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null
          fi' EXIT
    if [[ -n $display ]]; then
        export DISPLAY=$display
    else
        start_xvfb "$dir" "$screen"
    fi

    export WINEPREFIX="$dir/prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    local log="$dir/requests.log"
    : >"$log"

    if ((keep)) && [[ -f "$WINEPREFIX/system.reg" ]]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    else
        create_prefix "$dir" || die "cannot create a Wine prefix"
    fi
    if ((wine_fonts)); then
        cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon \
            "$WINEPREFIX/drive_c/windows/Fonts/" || die "Wine's fonts not found (fonts-wine)"
    fi

    # Managed=N: without a window manager Wine would otherwise wait ~2 s for every closing
    # top-level window. The font replacements give message boxes Japanese glyphs.
    cat >"$dir/rig.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAGothic"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAGothic"
EOF
    local subkey="System\\CurrentControlSet\\Services\\$SERVICE"
    local key="HKLM\\$subkey"
    local logNt
    logNt="\\??\\$(winpath "$log")"
    (
        wine reg import "$(winpath "$dir/rig.reg")" || die "registry import failed"
        if wine sc query "$SERVICE"; then
            # A kept prefix has the service already (Wine's sc config cannot change it):
            # point it at this driver, which the next session start loads.
            wine reg add "$key" /v ImagePath /t REG_SZ /d "$(winpath "$driver")" /f &&
                wine reg add "$key" /v Start /t REG_DWORD /d 2 /f || die "reg add ImagePath failed"
        else
            wine sc create "$SERVICE" type= kernel start= auto binPath= "$(winpath "$driver")" ||
                die "sc create failed"
        fi
        wine reg add "$key" /v LogPath /t REG_SZ /d "$logNt" /f || die "reg add LogPath failed"
        # The log starts afresh: sequence numbers and per-command counts from 1.
        {
            printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\%s]\n"LogSequence"=-\n' "$subkey"
            for code in 80 84 85 86 89; do printf '"Count%s"=-\n' "$code"; done
        } >"$dir/reset.reg"
        wine reg import "$(winpath "$dir/reset.reg")" || die "registry reset failed"
        wine net start "$SERVICE" || {
            wine sc query "$SERVICE" >"$dir/service.txt"
            grep -q RUNNING "$dir/service.txt" || die "net start $SERVICE failed"
        }
    ) >"$dir/setup.log" 2>&1 || { cat "$dir/setup.log" >&2; exit 1; }
    # Settings read at session start take effect in the next session.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w

    {
        printf 'export DISPLAY=%q\n' "$DISPLAY"
        printf 'export WINEPREFIX=%q\n' "$WINEPREFIX"
        printf 'export WINEDEBUG=%q\n' "$WINEDEBUG"
        printf 'export WINEDLLOVERRIDES=%q\n' "$WINEDLLOVERRIDES"
        printf 'XVFB_PID=%q\n' "$XVFB_PID"
        printf 'XVFB_FB=%q\n' "$XVFB_FB"
        printf 'PNL_SERVICE_KEY=%q\n' "$key"
        printf 'PNL_LOG=%q\n' "$log"
    } >"$dir/rig.env"
    # shellcheck disable=SC2034 # read by the EXIT trap
    ready=1
    echo "rig ready: DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX log=$log"
}

cmd_down() {
    local dir=$1 purge=0
    shift
    [[ ${1:-} == --purge ]] && purge=1
    [[ -f "$dir/rig.env" ]] || die "no rig in $dir"
    # shellcheck disable=SC1091
    source "$dir/rig.env"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [[ -n ${XVFB_PID:-} ]] && kill -0 "$XVFB_PID" 2>/dev/null; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait_for 10 bash -c "! kill -0 $XVFB_PID 2>/dev/null" ||
            kill -9 "$XVFB_PID" 2>/dev/null || true
    fi
    if ((purge)); then
        rm -rf "$WINEPREFIX"
    fi
    rm -f "$dir/rig.env"
}

case ${1:-} in
up) shift; [[ $# -ge 1 ]] || die "usage: wine-rig.sh up DIR --driver FILE"; cmd_up "$@" ;;
down) shift; [[ $# -ge 1 ]] || die "usage: wine-rig.sh down DIR [--purge]"; cmd_down "$@" ;;
*)
    die "usage: wine-rig.sh up DIR --driver FILE [--display :N | --screen WxH] [--wine-fonts]" \
        "[--keep-prefix]" \
        "| down DIR [--purge]"
    ;;
esac
