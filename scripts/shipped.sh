#!/usr/bin/env bash
# The shipped 32-bit installer run for real: Debian's 32-bit Wine by CPU emulation (qemu-i386 in
# binfmt_misc), in a chroot kept in a fixed cache folder outside the build tree. Run as root.
#
#   shipped.sh setup
#       Makes whatever is missing, each step once: qemu-i386 (the static one of bookworm-backports'
#       qemu-user, taken out of its package), its binfmt_misc entry (flag F), an amd64 Debian
#       chroot with the i386 architecture and `wine wine64 wine32:i386`, and two prefixes in it:
#       win32 (a 32-bit Windows) and wow64 (a 64-bit Windows with its 32-bit half).
#   shipped.sh setup-background
#       Starts setup detached (log: <cache>/setup.log); setup and start wait for it.
#   shipped.sh start <builddir>
#       setup, then binds the source tree, /tmp/.X11-unix, /proc, /dev into the chroot, starts an
#       Xvfb of its own and a persistent wineserver per prefix; writes <builddir>/shipped/env.
#   shipped.sh stop <builddir>
#       Stops those servers and the Xvfb by pid, and unmounts what start mounted.
#   shipped.sh run <builddir> <win32|wow64> <program> [args...]
#       Runs a program in the chroot with that prefix (a Windows program: `wine prog.exe`; the
#       Wine loaders are /usr/bin/wine (32-bit) and /usr/lib/wine/wine64). Its exit code passes
#       through. The Windows program sees QUILLARY_INSTALLER (the shipped exe), QUILLARY_BUILD_DIR
#       and QUILLARY_SOURCE_DIR; QUILLARY_NATIVE_FIRST works as in scripts/wine-test.sh.
#
# QUILLARY_SHIPPED_CACHE moves the cache folder (default /var/cache/quillary-shipped).
set -euo pipefail

EXTRA_ENV=()
CACHE=${QUILLARY_SHIPPED_CACHE:-/var/cache/quillary-shipped}
ROOT=$CACHE/root
QEMU=$CACHE/qemu-i386
DEBOOTSTRAP=$CACHE/debootstrap/usr/sbin/debootstrap
BINFMT=/proc/sys/fs/binfmt_misc
BINFMT_NAME=quillary-i386
MIRROR=http://deb.debian.org/debian
SUITE=bookworm
# What the chroot holds; a change here rebuilds it.
CHROOT_PACKAGES="wine wine64 wine32:i386 xauth
 libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1 libxfixes3
 libxrender1:i386 libxrandr2:i386 libxcursor1:i386 libxi6:i386 libxinerama1:i386
 libxcomposite1:i386 libxfixes3:i386"
SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)

# Stops with a message; a log named as "(see FILE)" is shown too, so CI's output says why.
die() {
    echo "shipped: $*" >&2
    local log
    log=$(sed -n 's/.*(see \([^)]*\)).*/\1/p' <<<"$*")
    if [ -n "$log" ] && [ -f "$log" ]; then
        echo "--- last lines of $log:" >&2
        tail -n 15 "$log" >&2
    fi
    exit 1
}

step() { echo "shipped: $* ($(date -u +%T))" >&2; }

usage() {
    sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

# The two tools the set-up needs from the package registry, taken out of their packages without
# installing them (the host's package manager may be busy with the bootstrap meanwhile):
# debootstrap, and the static qemu-i386 of bookworm-backports' qemu-user 10 (bookworm's own 7.2
# costs about a minute of CPU per Wine process). apt runs with a private state and sources list.
get_tools() {
    [ -x "$QEMU" ] && "$QEMU" --version | grep -q 'version 10\.' && [ -x "$DEBOOTSTRAP" ] && return 0
    step "fetching qemu-user ($SUITE-backports) and debootstrap"
    local apt=$CACHE/apt
    rm -rf "$apt" "$CACHE/debootstrap"
    mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/x"
    printf 'deb %s %s main\ndeb %s %s-backports main\n' $MIRROR $SUITE $MIRROR $SUITE \
        >"$apt/sources.list"
    local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
        -o APT::Sandbox::User=root -o APT::Architecture=amd64 -q)
    {
        apt-get "${opts[@]}" update &&
            (cd "$apt" &&
                apt-get "${opts[@]}" download "qemu-user/$SUITE-backports" "debootstrap/$SUITE")
    } >"$CACHE/apt.log" 2>&1 || die "fetching the packages failed (see $CACHE/apt.log)"
    dpkg-deb -x "$apt"/qemu-user_*.deb "$apt/x"
    dpkg-deb -x "$apt"/debootstrap_*.deb "$CACHE/debootstrap"
    cp "$apt/x/usr/bin/qemu-i386" "$QEMU.tmp"
    mv "$QEMU.tmp" "$QEMU"
    rm -rf "$apt"
    "$QEMU" --version | grep -q 'version 10\.' || die "$QEMU is not qemu 10"
}

# i386 ELF programs go to qemu-i386. Flag F opens the interpreter now, so it also works inside the
# chroot, where its path does not exist, and for every child process.
register_binfmt() {
    mountpoint -q $BINFMT || mount -t binfmt_misc binfmt_misc $BINFMT ||
        die "cannot mount binfmt_misc on $BINFMT"
    if [ -f $BINFMT/$BINFMT_NAME ]; then
        grep -qx "interpreter $QEMU" $BINFMT/$BINFMT_NAME && grep -qx 'flags: F' $BINFMT/$BINFMT_NAME &&
            return 0
        echo -1 >$BINFMT/$BINFMT_NAME
    fi
    local magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":$BINFMT_NAME:M::$magic:$mask:$QEMU:F" >$BINFMT/register ||
        die "cannot register $QEMU in binfmt_misc"
}

# The chroot: amd64 (the 64-bit wineserver and wine64 run natively) with the i386 architecture
# for Wine's 32-bit half, which runs through qemu-i386.
make_chroot() {
    local stamp=$ROOT/.quillary-packages
    [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$CHROOT_PACKAGES" ] && return 0
    unmount_all
    rm -rf "$ROOT"
    # A base system made whole by an earlier, interrupted set-up is kept.
    if [ ! -f "$ROOT.tmp/.quillary-base" ]; then
        rm -rf "$ROOT.tmp"
        step "debootstrap $SUITE (amd64, minbase)"
        DEBOOTSTRAP_DIR=$CACHE/debootstrap/usr/share/debootstrap "$DEBOOTSTRAP" --arch=amd64 \
            --variant=minbase $SUITE "$ROOT.tmp" $MIRROR >"$CACHE/debootstrap.log" 2>&1 ||
            die "debootstrap failed (see $CACHE/debootstrap.log)"
        touch "$ROOT.tmp/.quillary-base"
    fi
    step "installing Wine in the chroot"
    mount -t proc proc "$ROOT.tmp/proc"
    local rc=0
    chroot "$ROOT.tmp" /bin/sh -c "dpkg --add-architecture i386 && apt-get update -q &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        $(echo $CHROOT_PACKAGES) &&
        apt-get clean" >"$CACHE/chroot-packages.log" 2>&1 || rc=$?
    umount "$ROOT.tmp/proc"
    [ $rc -eq 0 ] || die "installing Wine in the chroot failed (see $CACHE/chroot-packages.log)"
    echo "$CHROOT_PACKAGES" >"$ROOT.tmp/.quillary-packages"
    mv "$ROOT.tmp" "$ROOT"
}

# Runs a command inside the chroot with a prefix's Wine environment.
in_chroot() {
    local prefix=$1
    shift
    local arch=win32
    [ "$prefix" = wow64 ] && arch=win64
    chroot "$ROOT" /usr/bin/env -i HOME=/root PATH=/usr/bin:/bin:/usr/sbin:/sbin \
        WINEPREFIX=/root/$prefix WINEARCH=$arch WINEDEBUG=-all \
        WINEDLLOVERRIDES="${OVERRIDES:-mscoree,mshtml=}" DISPLAY="${DISPLAY:-}" \
        "${EXTRA_ENV[@]}" "$@"
}

# The 32-bit loader makes a win32 prefix; a win64 one is made by the 64-bit loader.
loader_of() { if [ "$1" = wow64 ]; then echo /usr/lib/wine/wine64; else echo /usr/bin/wine; fi; }

make_prefix() {
    local prefix=$1 log=$CACHE/prefix-$1.log
    [ -f "$ROOT/root/$prefix.ok" ] && return 0
    step "making the $prefix prefix"
    rm -rf "${ROOT:?}/root/$prefix"
    mount_all
    local loader
    loader=$(loader_of "$prefix")
    {
        in_chroot "$prefix" "$loader" wineboot -i &&
            in_chroot "$prefix" wineserver -w &&
            # No window manager on Xvfb: unmanaged windows close without a 2 s wait.
            in_chroot "$prefix" "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
                /t REG_SZ /d N /f &&
            in_chroot "$prefix" wineserver -w
    } </dev/null >"$log" 2>&1 || die "making the $prefix prefix failed (see $log)"
    touch "$ROOT/root/$prefix.ok"
    MOUNTED_FOR_SETUP=1
}

# What the chroot's programs need of the host; unmount_all takes it down again.
mount_all() {
    mountpoint -q "$ROOT/proc" || mount -t proc proc "$ROOT/proc"
    mountpoint -q "$ROOT/dev" || mount --bind /dev "$ROOT/dev"
    mountpoint -q "$ROOT/dev/shm" || mount -t tmpfs shm "$ROOT/dev/shm"
    mkdir -p "$ROOT/tmp/.X11-unix" "$ROOT$SOURCE_DIR"
    mountpoint -q "$ROOT/tmp/.X11-unix" || mount --bind /tmp/.X11-unix "$ROOT/tmp/.X11-unix"
    # The source tree (the build tree in it) at the same path: Z: names the same files inside.
    mountpoint -q "$ROOT$SOURCE_DIR" || mount --bind "$SOURCE_DIR" "$ROOT$SOURCE_DIR"
}

# Mounts below the chroot, deepest first.
mounts_below() {
    awk -v r="$ROOT" '{ if (index($2 "/", r "/") == 1 || index($2 "/", r ".tmp/") == 1) print $2 }' \
        /proc/mounts | sort -r
}

# Everything below the chroot unmounted, or the script stops: the source tree is bound in it, and
# the chroot is removed when it is remade.
unmount_all() {
    local point
    for point in $(mounts_below); do
        umount "$point" || die "cannot unmount $point (a process in the chroot still uses it?)"
    done
    [ -z "$(mounts_below)" ] || die "still mounted below $ROOT: $(mounts_below)"
}

setup() {
    mkdir -p "$CACHE"
    # One set-up at a time; a second caller waits for the first and then finds everything made.
    exec 8>"$CACHE/setup.lock"
    flock 8
    get_tools
    register_binfmt
    make_chroot
    mkdir -p /tmp/.X11-unix
    make_prefix win32
    make_prefix wow64
    # What was mounted to make the prefixes goes again; start mounts it for the tests.
    [ -z "${MOUNTED_FOR_SETUP:-}" ] || unmount_all
    exec 8>&-
}

cmd_setup_background() {
    mkdir -p "$CACHE"
    setsid bash "$0" setup </dev/null >"$CACHE/setup.log" 2>&1 8>&- 9>&- &
    echo "shipped: set-up started in the background (log: $CACHE/setup.log)"
}

set_paths() {
    [ -n "${1:-}" ] || usage
    mkdir -p "$1/shipped"
    BUILD_DIR=$(cd "$1" && pwd)
    STATE=$BUILD_DIR/shipped
    ENV_FILE=$STATE/env
    case $BUILD_DIR/ in
    "$SOURCE_DIR"/*) ;;
    *) die "the build tree $BUILD_DIR must lie in $SOURCE_DIR (bound into the chroot)" ;;
    esac
}

# A persistent wineserver per prefix, so each scenario does not pay a session start under
# emulation; a warm-up client brings up the session's services with their output in a file.
start_server() {
    local prefix=$1
    in_chroot "$prefix" wineserver -p -f </dev/null >"$STATE/wineserver-$prefix.log" 2>&1 &
    local loader
    loader=$(loader_of "$prefix")
    in_chroot "$prefix" "$loader" rundll32.exe user32.dll,GetDesktopWindow </dev/null \
        >"$STATE/warm-up-$prefix.log" 2>&1 ||
        die "Wine does not start in the $prefix prefix (see $STATE/warm-up-$prefix.log)"
}

cmd_start() {
    set_paths "${1:-}"
    [ -f "$ENV_FILE" ] && cmd_stop "$BUILD_DIR"
    setup
    mount_all
    local numfile=$STATE/display
    rm -f "$numfile"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numfile" \
        </dev/null >"$STATE/xvfb.log" 2>&1 &
    local xvfb=$! i
    echo "XVFB_PID=$xvfb" >"$ENV_FILE"
    for i in $(seq 1 100); do
        [ -s "$numfile" ] && break
        kill -0 $xvfb 2>/dev/null || die "Xvfb failed to start (see $STATE/xvfb.log)"
        sleep 0.1
    done
    [ -s "$numfile" ] || die "Xvfb did not report a display within 10 s"
    export DISPLAY=:$(tr -d '[:space:]' <"$numfile")
    echo "DISPLAY=$DISPLAY" >>"$ENV_FILE"
    start_server win32
    start_server wow64
    echo "shipped: DISPLAY=$DISPLAY, chroot $ROOT"
}

cmd_stop() {
    set_paths "${1:-}"
    local XVFB_PID="" prefix
    [ -f "$ENV_FILE" ] && . "$ENV_FILE"
    if [ -x "$ROOT/usr/bin/wineserver" ] && mountpoint -q "$ROOT/proc"; then
        for prefix in win32 wow64; do
            in_chroot $prefix wineserver -k </dev/null >/dev/null 2>&1 || true
            in_chroot $prefix wineserver -w </dev/null >/dev/null 2>&1 || true
        done
    fi
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    rm -f "$ENV_FILE"
    unmount_all
    echo "shipped: stopped"
}

cmd_run() {
    set_paths "${1:-}"
    local prefix=${2:-}
    shift 2 || usage
    [ "$prefix" = win32 ] || [ "$prefix" = wow64 ] || usage
    [ -f "$ENV_FILE" ] || die "not started (run: $0 start $BUILD_DIR)"
    . "$ENV_FILE"
    export DISPLAY
    OVERRIDES="mscoree,mshtml="
    [ -n "${QUILLARY_NATIVE_FIRST:-}" ] && OVERRIDES="$OVERRIDES;$QUILLARY_NATIVE_FIRST=n,b"
    EXTRA_ENV=("QUILLARY_INSTALLER=Z:${BUILD_DIR//\//\\}\\Quillary-Setup.exe"
        "QUILLARY_BUILD_DIR=Z:${BUILD_DIR//\//\\}" "QUILLARY_SOURCE_DIR=Z:${SOURCE_DIR//\//\\}")
    # The output goes through a file: the session's services outlive the program and would keep
    # a runner's pipe open.
    local log rc=0
    log=$(mktemp "$STATE/run.XXXXXX")
    in_chroot "$prefix" "$@" </dev/null >"$log" 2>&1 || rc=$?
    cat "$log"
    rm -f "$log"
    return $rc
}

command=${1:-}
[ -n "$command" ] || usage
shift
case $command in
setup) setup ;;
setup-background) cmd_setup_background ;;
start) cmd_start "$@" ;;
stop) cmd_stop "$@" ;;
run) cmd_run "$@" ;;
*) usage ;;
esac
