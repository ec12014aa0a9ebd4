#!/usr/bin/env bash
# Debian's 32-bit Wine for the x86 build: an i386 Debian 12 chroot with Wine, whose programs
# run through qemu-i386 (these machines' kernels refuse 32-bit code, and a 32-bit Wine on the
# host would break its 64-bit one). Commands named wine, wineserver and wineboot run the
# chroot's, so that wine-rig.sh, Xvfb, xdotool and the road tests' Python stay on the host
# as they are. Run as root.
#
#   wine32-chroot.sh cache       build what is missing of the cache (below)
#   wine32-chroot.sh up BINDIR   the cache, a first program run in the chroot, and the commands
#                                wine, wineserver and wineboot written into BINDIR (put it
#                                first on PATH)
#   wine32-chroot.sh run NAME ARG...   what those commands do: /usr/bin/NAME in the chroot
#   wine32-chroot.sh down        the i386 handler removed unless a program still runs in the
#                                chroot; anything left mounted below the cache unmounted
#
# The cache, $PANELCAL_WINE32_CACHE or /var/cache/panelcal-wine32, holds qemu-i386 (from
# Debian's bookworm-backports: bookworm's qemu 7.2 cannot run Wine) and root/, the chroot
# (debootstrap, then Wine and the fonts, locales and X libraries it needs). It lies outside
# the work tree so that a clean clone on the same machine finds it, and a second run starts
# in seconds; deleting it costs only the next run's time (~6 minutes). It is built into a
# temporary folder that is renamed once complete, under a lock, so an interrupted build
# leaves nothing half-made behind; it is built again when the recipe below changes.
#
# Every command in the chroot runs in a mount namespace of its own, in which /proc, /dev,
# /tmp/.X11-unix and this work tree are bound into the chroot at their own paths (Z:\ paths
# and the X display are the same inside and out): the host never sees these mounts, and they
# go away with the last process of that namespace, also when it is killed. So does the
# binfmt_misc handler that runs i386 programs through qemu ("panelcal-i386", flag F: qemu is
# opened when it is registered, so it works inside the chroot): each namespace mounts
# binfmt_misc where the host has not and registers the handler if it is missing, and the
# kernel drops it with the last binfmt_misc mount, when the last program in the chroot ends.
# Where the host keeps binfmt_misc mounted (systemd does), the handler stays until down.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
TREE=$(dirname "$HERE")
CACHE=${PANELCAL_WINE32_CACHE:-/var/cache/panelcal-wine32}
ROOT=$CACHE/root
QEMU=$CACHE/qemu-i386
SUITE=bookworm
PACKAGES=(wine wine32 libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1
    libxfixes3 fonts-wine fonts-liberation fonts-ipafont-gothic fonts-dejavu-core locales)
# What the cache is made of: another recipe builds it again.
RECIPE="1 $SUITE i386 minbase; qemu-user/$SUITE-backports; ${PACKAGES[*]}; ja_JP.UTF-8"

BINFMT=/proc/sys/fs/binfmt_misc
HANDLER=panelcal-i386
# An i386 ELF executable (e_ident class 1, little endian, e_machine 3), as binfmt_misc writes
# it: the \x escapes are bytes to the kernel.
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

die() {
    echo "wine32-chroot: $*" >&2
    exit 1
}

say() {
    echo "wine32-chroot: $*" >&2
}

# Unmounts whatever is mounted below DIR (deepest first).
unmount_below() {
    local mount
    findmnt -rn -o TARGET | awk -v d="$1/" 'index($0, d) == 1' | sort -r |
        while read -r mount; do umount -l "$mount" || true; done
}

# Removes DIR, never reaching through a mount into another file system.
remove() {
    [[ -e $1 ]] || return 0
    unmount_below "$1"
    rm -rf --one-file-system "$1"
}

# The host's Debian mirror, as its apt sources name it for the suite.
mirror() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' |
        awk -v s="$SUITE" '$2 == s && $3 == "main" { sub("/$", "", $1); print $1; exit }'
}

# Registers the handler (in a mount namespace of this process's own, where binfmt_misc is
# mounted if the host has not), or unregisters it. Safe to run at the same time as another.
binfmt() {
    [[ -e $BINFMT/register ]] || mount -t binfmt_misc binfmt_misc "$BINFMT"
    case $1 in
    register)
        if [[ -e $BINFMT/$HANDLER ]] && ! grep -qxF "interpreter $QEMU" "$BINFMT/$HANDLER"; then
            echo -1 >"$BINFMT/$HANDLER" 2>/dev/null || true
        fi
        [[ -e $BINFMT/$HANDLER ]] ||
            printf '%s' ":$HANDLER:M::$MAGIC:$MASK:$QEMU:F" >"$BINFMT/register" 2>/dev/null ||
            [[ -e $BINFMT/$HANDLER ]] || die "cannot register the i386 handler"
        ;;
    unregister)
        [[ ! -e $BINFMT/$HANDLER ]] || echo -1 >"$BINFMT/$HANDLER" 2>/dev/null || true
        ;;
    esac
}

build_qemu() {
    local work=$CACHE/qemu.tmp mirror
    remove "$work"
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/deb"
    mirror=$(mirror)
    [[ -n $mirror ]] || die "no $SUITE main in the host's apt sources"
    # A source list, lists and cache of its own: the host's apt set-up stays as it is.
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror" \
        "$SUITE-backports main" >"$work/sources.list"
    local apt=(apt-get -qq -o "Dir::Etc::SourceList=$work/sources.list"
        -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$work/lists"
        -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
    "${apt[@]}" update
    (cd "$work/deb" && "${apt[@]}" download "qemu-user/$SUITE-backports")
    dpkg-deb --fsys-tarfile "$work"/deb/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386
    # Inside the chroot there is no x86-64 loader: only a static qemu runs there.
    ! readelf -l "$work/usr/bin/qemu-i386" | grep -q 'Requesting program interpreter' ||
        die "qemu-i386 of $SUITE-backports is not linked statically"
    mv "$work/usr/bin/qemu-i386" "$QEMU"
    remove "$work"
}

# Runs COMMAND in a mount namespace of its own, with the handler registered: in the chroot at
# ROOT, with the folders BIND... bound into it at their own paths, or ROOT "-": outside.
#   in_namespace ROOT BIND... -- COMMAND...
in_namespace() {
    unshare --mount --propagation private -- bash "$HERE/wine32-chroot.sh" _namespace "$@"
}

cmd_namespace() {
    local root=$1
    shift
    binfmt register
    while [[ $1 != -- ]]; do
        if [[ -d $1 ]]; then
            mkdir -p "$root$1"
            mount --rbind "$1" "$root$1"
        fi
        shift
    done
    shift
    [[ $root == - ]] && exec "$@"
    exec chroot "$root" "$@"
}

build_root() {
    local work=$CACHE/root.tmp log=$CACHE/build.log mirror
    mirror=$(mirror)
    remove "$work"
    say "debootstrap of $SUITE (i386) into $work (log: $log)"
    # debootstrap mounts /proc and /sys in the new tree: in a namespace of its own, those
    # mounts end with it, also when it is interrupted.
    in_namespace - -- debootstrap --arch=i386 --variant=minbase "$SUITE" "$work" "$mirror" \
        >"$log" 2>&1 ||
        die "debootstrap failed (see $log)"
    say "Wine and what it needs into the chroot"
    cp /etc/resolv.conf "$work/etc/resolv.conf"
    {
        in_namespace "$work" /proc /dev -- apt-get -q update &&
            in_namespace "$work" /proc /dev -- env DEBIAN_FRONTEND=noninteractive \
                apt-get -q install -y --no-install-recommends "${PACKAGES[@]}" &&
            in_namespace "$work" /proc /dev -- localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 &&
            in_namespace "$work" /proc /dev -- apt-get clean
    } >>"$log" 2>&1 || die "installing into the chroot failed (see $log)"
    remove "$ROOT"
    mv "$work" "$ROOT"
}

cmd_cache() {
    mkdir -p "$CACHE"
    (
        flock 9 # one build at a time; a second caller waits, then finds it complete
        [[ -x $QEMU && -d $ROOT && "$(cat "$CACHE/recipe" 2>/dev/null)" == "$RECIPE" ]] && exit 0
        started=$SECONDS
        rm -f "$CACHE/recipe"
        say "building the cache in $CACHE"
        build_qemu
        build_root
        echo "$RECIPE" >"$CACHE/recipe"
        say "cache built in $((SECONDS - started)) s"
    ) 9>"$CACHE/lock"
}

cmd_up() {
    local bin=$1 name
    [[ $(id -u) == 0 ]] || die "must run as root"
    cmd_cache
    in_namespace "$ROOT" -- /bin/true || die "the chroot's programs do not run (qemu-i386: $QEMU)"
    mkdir -p "$bin"
    for name in wine wineserver wineboot; do
        printf '#!/bin/sh\nexec bash %q run %s "$@"\n' "$HERE/wine32-chroot.sh" "$name" \
            >"$bin/$name"
        chmod +x "$bin/$name"
    done
}

cmd_down() {
    local proc busy=0
    for proc in /proc/[0-9]*; do
        [[ $proc/root -ef $ROOT ]] && busy=1 && break
    done 2>/dev/null
    if ((busy)); then
        say "a program still runs in the chroot: the i386 handler stays"
    else
        unshare --mount --propagation private -- bash "$0" _binfmt unregister
    fi
    [[ ! -d $CACHE ]] || unmount_below "$CACHE"
}

case ${1:-} in
cache) cmd_cache ;;
up) [[ $# == 2 ]] || die "usage: wine32-chroot.sh up BINDIR"; cmd_up "$2" ;;
run)
    [[ $# -ge 2 ]] || die "usage: wine32-chroot.sh run NAME ARG..."
    exec unshare --mount --propagation private -- bash "$0" _namespace "$ROOT" /proc /dev \
        /tmp/.X11-unix "$TREE" -- /bin/sh -c 'cd "$0" 2>/dev/null || cd /; exec "$@"' "$PWD" \
        "/usr/bin/$2" "${@:3}"
    ;;
down) cmd_down ;;
_namespace) shift; cmd_namespace "$@" ;;
_binfmt) binfmt "$2" ;;
*) die "usage: wine32-chroot.sh cache | up BINDIR | run NAME ARG... | down" ;;
esac
