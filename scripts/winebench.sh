#!/usr/bin/env bash
# The Wine bench: one virtual screen, one Wine prefix and one persistent wineserver per build tree,
# shared by the Wine test groups, the benchmarks and `make run`.
#
#   winebench.sh start <builddir> [WxHxD] [--use-display]
#       Starts Xvfb on a free display (default 1280x1024x24) or, with --use-display, uses the
#       caller's DISPLAY; makes the prefix <builddir>/wine once, its windows unmanaged (Wine's
#       X11 "Managed" = "N": no wait for a window manager); starts `wineserver -p`; writes
#       <builddir>/winebench/env (DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, the pids).
#   winebench.sh stop <builddir>
#       Stops only what start started: its wineserver (wineserver -k) and its Xvfb (by pid).
#   winebench.sh restart-server <builddir>
#       Restarts the wineserver, e.g. after a drive was added under dosdevices (drives are read
#       when the server starts).
#   winebench.sh with-screen <builddir> WxHxD -- cmd [args...]
#       Runs cmd on a fresh Xvfb of that size with its own wineserver, then puts the bench back
#       as it was. Wine reads the screen size once per server session, so a different DISPLAY
#       alone is not enough.
#   winebench.sh exec <builddir> -- cmd [args...]
#       Runs cmd with the bench environment (starting nothing).
#
# Every background server writes to files under <builddir>/winebench/, never to the caller's
# stdout or stderr: a runner reading through a pipe (ctest, $(...)) would otherwise wait for them.
set -euo pipefail

DEFAULT_GEOMETRY=1280x1024x24

die() {
    echo "winebench: $*" >&2
    exit 1
}

usage() {
    sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

# Resolves the build dir to an absolute path and sets the bench file names.
set_paths() {
    [ -n "${1:-}" ] || usage
    mkdir -p "$1"
    BUILD_DIR=$(cd "$1" && pwd)
    BENCH_DIR=$BUILD_DIR/winebench
    ENV_FILE=$BENCH_DIR/env
    PREFIX=$BUILD_DIR/wine
    mkdir -p "$BENCH_DIR"
}

wine_env() {
    export WINEPREFIX=$PREFIX
    export WINEDEBUG=-all
    # No Mono or Gecko prompts; and no winemenubuilder: Wine starts it for every shortcut made,
    # and it opens the shortcut's target (an installed file a scenario is about to change) in a
    # process of its own, at a moment nobody waits for.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Starts Xvfb with the given geometry on a free display; sets XVFB_PID and XVFB_DISPLAY.
start_xvfb() {
    local geometry=$1 log=$2 numfile
    numfile=$(mktemp "$BENCH_DIR/display.XXXXXX")
    # -displayfd lets Xvfb pick a free display itself and tells us once it accepts clients.
    KEEP_FD=3 detached Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset \
        3>"$numfile" </dev/null >"$log" 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        if [ -s "$numfile" ]; then break; fi
        if ! kill -0 "$XVFB_PID" 2>/dev/null; then
            rm -f "$numfile"
            die "Xvfb failed to start (see $log)"
        fi
        sleep 0.1
    done
    [ -s "$numfile" ] || die "Xvfb did not report a display within 10 s (see $log)"
    XVFB_DISPLAY=:$(tr -d '[:space:]' <"$numfile")
    rm -f "$numfile"
}

# Runs a program with every inherited descriptor above 2 closed: a background server holding a
# runner's pipe open keeps the runner waiting.
detached() {
    local fd
    for fd in /proc/$BASHPID/fd/*; do
        fd=${fd##*/}
        if [ "$fd" -gt 2 ] && [ "$fd" != "$KEEP_FD" ]; then eval "exec $fd>&-" 2>/dev/null || true; fi
    done
    exec "$@"
}

stop_pid() {
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for i in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}

# Makes the prefix once; later runs reuse it. Guarded by a lock so parallel starts do not race.
make_prefix() {
    (
        flock 9
        if [ ! -f "$PREFIX/system.reg" ] || [ ! -f "$BENCH_DIR/prefix.ok" ]; then
            echo "winebench: making the Wine prefix $PREFIX (once)" >&2
            rm -f "$BENCH_DIR/unmanaged.ok"
            wineboot -i </dev/null >"$BENCH_DIR/wineboot.log" 2>&1 ||
                die "wineboot failed (see $BENCH_DIR/wineboot.log)"
            # wineboot returns before the server has written the registry files out.
            wineserver -w </dev/null >>"$BENCH_DIR/wineboot.log" 2>&1 || true
            touch "$BENCH_DIR/prefix.ok"
        fi
        if [ ! -f "$BENCH_DIR/unmanaged.ok" ]; then
            # Without a window manager (Xvfb) Wine waits up to 2 s for one whenever a managed
            # top-level window is hidden: every page change and message box would pay it.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                </dev/null >>"$BENCH_DIR/wineboot.log" 2>&1 ||
                die "could not set Managed=N (see $BENCH_DIR/wineboot.log)"
            wineserver -w </dev/null >>"$BENCH_DIR/wineboot.log" 2>&1 || true
            touch "$BENCH_DIR/unmanaged.ok"
        fi
    ) 9>"$BENCH_DIR/prefix.lock"
}

# Starts a persistent wineserver in the foreground of a background job, so its pid is known.
start_server() {
    local log=$1
    KEEP_FD=none detached wineserver -p -f </dev/null >"$log" 2>&1 &
    SERVER_PID=$!
    # The server is ready once its socket for this prefix exists (Debian's Wine keeps it under
    # /tmp/wine-XXXXXX/, upstream under /tmp/.wine-UID/); clients started earlier would try to
    # start a server of their own.
    local server_dir i
    server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for i in $(seq 1 100); do
        kill -0 "$SERVER_PID" 2>/dev/null || die "wineserver failed to start (see $log)"
        if compgen -G "/tmp/wine-*/$server_dir/socket" >/dev/null ||
            [ -S "/tmp/.wine-$(id -u)/$server_dir/socket" ]; then
            return 0
        fi
        sleep 0.05
    done
    die "wineserver did not open its socket within 5 s (see $log)"
}

# The first client of a server session starts services.exe, winedevice.exe and the desktop
# process (explorer.exe), which live as long as the server and keep the first client's stdout and
# stderr. A warm-up client with its output in a file makes them hold that file instead of some
# runner's pipe. rundll32 creates a window, which brings up the desktop process.
warm_up() {
    (KEEP_FD=none detached wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >"$1" 2>&1) ||
        true
}

stop_server() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
}

write_env() {
    local file=$1
    {
        echo "# Written by scripts/winebench.sh; source it to run programs on the bench."
        printf 'export DISPLAY=%q\n' "$DISPLAY"
        printf 'export WINEPREFIX=%q\n' "$WINEPREFIX"
        printf 'export WINEDEBUG=%q\n' "$WINEDEBUG"
        printf 'export WINEDLLOVERRIDES=%q\n' "$WINEDLLOVERRIDES"
        printf 'export WINEBENCH_BUILD=%q\n' "$BUILD_DIR"
        printf 'WINEBENCH_XVFB_PID=%q\n' "${XVFB_PID:-}"
        printf 'WINEBENCH_SERVER_PID=%q\n' "${SERVER_PID:-}"
        printf 'WINEBENCH_GEOMETRY=%q\n' "${GEOMETRY:-}"
    } >"$file.tmp"
    mv "$file.tmp" "$file"
}

bench_running() {
    [ -f "$ENV_FILE" ] || return 1
    # shellcheck disable=SC1090
    (
        . "$ENV_FILE"
        [ -z "$WINEBENCH_XVFB_PID" ] || kill -0 "$WINEBENCH_XVFB_PID" 2>/dev/null
    )
}

cmd_start() {
    local use_display=0 geometry=$DEFAULT_GEOMETRY arg
    set_paths "${1:-}"
    shift
    for arg in "$@"; do
        case $arg in
        --use-display) use_display=1 ;;
        *x*x*) geometry=$arg ;;
        *) usage ;;
        esac
    done
    wine_env
    if bench_running; then
        # A bench left by an interrupted run: stop it so this one starts clean.
        cmd_stop "$BUILD_DIR"
    fi
    XVFB_PID=""
    GEOMETRY=""
    # On any failure below, take down the Xvfb this start brought up.
    trap 'stop_pid "$XVFB_PID"' ERR EXIT
    if [ $use_display -eq 1 ]; then
        [ -n "${DISPLAY:-}" ] || die "--use-display given but DISPLAY is not set"
    else
        start_xvfb "$geometry" "$BENCH_DIR/xvfb.log"
        export DISPLAY=$XVFB_DISPLAY
        GEOMETRY=$geometry
    fi
    # A server left over from earlier runs would keep another DISPLAY's screen.
    stop_server
    make_prefix
    start_server "$BENCH_DIR/wineserver.log"
    warm_up "$BENCH_DIR/warm-up.log"
    write_env "$ENV_FILE"
    trap - ERR EXIT
    echo "winebench: DISPLAY=$DISPLAY${GEOMETRY:+ ($GEOMETRY)} WINEPREFIX=$WINEPREFIX"
}

cmd_stop() {
    set_paths "${1:-}"
    wine_env
    local xvfb_pid=""
    if [ -f "$ENV_FILE" ]; then
        # shellcheck disable=SC1090
        . "$ENV_FILE"
        xvfb_pid=${WINEBENCH_XVFB_PID:-}
    fi
    stop_server
    stop_pid "$xvfb_pid"
    rm -f "$ENV_FILE"
    echo "winebench: stopped"
}

cmd_restart_server() {
    set_paths "${1:-}"
    [ -f "$ENV_FILE" ] || die "no bench running for $BUILD_DIR (run: $0 start $BUILD_DIR)"
    # shellcheck disable=SC1090
    . "$ENV_FILE"
    XVFB_PID=$WINEBENCH_XVFB_PID
    GEOMETRY=$WINEBENCH_GEOMETRY
    stop_server
    start_server "$BENCH_DIR/wineserver.log"
    warm_up "$BENCH_DIR/warm-up.log"
    write_env "$ENV_FILE"
}

cmd_with_screen() {
    set_paths "${1:-}"
    local geometry=${2:-}
    [[ $geometry == *x*x* ]] || usage
    shift 2
    [ "${1:-}" = "--" ] && shift
    [ $# -gt 0 ] || usage
    wine_env
    make_prefix

    local had_bench=0 saved_display=""
    if [ -f "$ENV_FILE" ]; then
        had_bench=1
        # shellcheck disable=SC1090
        saved_display=$(. "$ENV_FILE" && echo "$DISPLAY")
    fi

    stop_server
    start_xvfb "$geometry" "$BENCH_DIR/xvfb-$geometry.log"
    local screen_pid=$XVFB_PID
    export DISPLAY=$XVFB_DISPLAY
    start_server "$BENCH_DIR/wineserver-$geometry.log"
    warm_up "$BENCH_DIR/warm-up-$geometry.log"
    XVFB_PID=$screen_pid
    GEOMETRY=$geometry
    local screen_env=$BENCH_DIR/env-$geometry
    write_env "$screen_env"

    local rc=0
    WINEBENCH_ENV=$screen_env "$@" || rc=$?

    stop_server
    stop_pid "$screen_pid"
    rm -f "$screen_env"
    if [ $had_bench -eq 1 ]; then
        export DISPLAY=$saved_display
        start_server "$BENCH_DIR/wineserver.log"
        warm_up "$BENCH_DIR/warm-up.log"
        # shellcheck disable=SC1090
        XVFB_PID=$(. "$ENV_FILE" && echo "$WINEBENCH_XVFB_PID")
        GEOMETRY=$(. "$ENV_FILE" && echo "$WINEBENCH_GEOMETRY")
        write_env "$ENV_FILE"
    fi
    return $rc
}

cmd_exec() {
    set_paths "${1:-}"
    shift
    [ "${1:-}" = "--" ] && shift
    local env_file=${WINEBENCH_ENV:-$ENV_FILE}
    [ -f "$env_file" ] || die "no bench running for $BUILD_DIR (run: $0 start $BUILD_DIR)"
    # shellcheck disable=SC1090
    . "$env_file"
    exec "$@"
}

command=${1:-}
[ -n "$command" ] || usage
shift
case $command in
start) cmd_start "$@" ;;
stop) cmd_stop "$@" ;;
restart-server) cmd_restart_server "$@" ;;
with-screen) cmd_with_screen "$@" ;;
exec) cmd_exec "$@" ;;
*) usage ;;
esac
