#!/usr/bin/env bash
# Drives with little free space for the Wine bench of a build tree: a tmpfs of a chosen size,
# seen by Wine as a drive letter, or as C: itself.
#
#   small-drive.sh add <builddir> <letter> <bytes>
#       Mounts a tmpfs of <bytes> (rounded up to 4096-byte pages) at <builddir>/drives/<letter>
#       and links it as drive <letter>: of the bench prefix.
#   small-drive.sh remove <builddir> <letter>
#       Unlinks and unmounts that drive.
#   small-drive.sh small-c <builddir> <bytes> [--no-program-files]
#       Makes C: a tmpfs of <bytes>: its windows, users and ProgramData are symbolic links to the
#       prefix's real folders, and "Program Files" is an empty folder (left out with
#       --no-program-files). The prefix's own drive_c is not touched.
#   small-drive.sh restore-c <builddir>
#       Points C: back at the prefix's drive_c and unmounts the small one.
#   small-drive.sh with-drive <builddir> <letter> <bytes> -- cmd [args...]
#   small-drive.sh with-small-c <builddir> <bytes> [--no-program-files] -- cmd [args...]
#       Run cmd with the drive in place, undo it afterwards whatever happens, and return cmd's
#       exit code.
#
# Wine reads its drives when the server starts, so every change restarts the bench's wineserver
# (scripts/winebench.sh restart-server). A tmpfs of 3698000 bytes reports exactly 3698 KB of
# 1000 bytes free (903 clusters of 4096 bytes); one page less reports 3694 KB. Needs root (mount).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

die() {
    echo "small-drive: $*" >&2
    exit 1
}

usage() {
    sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

# Sets BUILD_DIR, PREFIX and DRIVES from the bench of <builddir>.
set_paths() {
    [ -n "${1:-}" ] && [ -d "$1" ] || usage
    BUILD_DIR=$(cd "$1" && pwd)
    local env_file=${WINEBENCH_ENV:-$BUILD_DIR/winebench/env}
    [ -f "$env_file" ] || die "no Wine bench for $BUILD_DIR (run: scripts/winebench.sh start $BUILD_DIR)"
    PREFIX=$(
        # shellcheck disable=SC1090
        . "$env_file"
        echo "$WINEPREFIX"
    )
    [ -d "$PREFIX/dosdevices" ] || die "no prefix at $PREFIX"
    DRIVES=$BUILD_DIR/drives
    mkdir -p "$DRIVES"
}

check_letter() {
    [[ ${1:-} =~ ^[a-yA-Y]$ ]] || die "drive letter must be one of a-y, not '${1:-}'"
    LETTER=${1,,}
}

check_bytes() {
    [[ ${1:-} =~ ^[0-9]+$ ]] && [ "$1" -ge 4096 ] || die "size must be a byte count >= 4096"
}

restart_server() {
    bash "$here/winebench.sh" restart-server "$BUILD_DIR" >/dev/null
}

mount_tmpfs() {
    local dir=$1 bytes=$2
    mkdir -p "$dir"
    if mountpoint -q "$dir"; then
        umount "$dir"
    fi
    mount -t tmpfs -o "size=$bytes,mode=0755" tmpfs "$dir"
}

unmount_tmpfs() {
    local dir=$1
    if mountpoint -q "$dir"; then
        umount "$dir"
    fi
    rmdir "$dir" 2>/dev/null || true
}

cmd_add() {
    set_paths "${1:-}"
    check_letter "${2:-}"
    check_bytes "${3:-}"
    [ "$LETTER" != c ] || die "use small-c for drive C"
    local dir=$DRIVES/$LETTER
    mount_tmpfs "$dir" "$3"
    ln -sfn "$dir" "$PREFIX/dosdevices/$LETTER:"
    restart_server
}

cmd_remove() {
    set_paths "${1:-}"
    check_letter "${2:-}"
    rm -f "$PREFIX/dosdevices/$LETTER:"
    unmount_tmpfs "$DRIVES/$LETTER"
    restart_server
}

cmd_small_c() {
    set_paths "${1:-}"
    check_bytes "${2:-}"
    local bytes=$2 program_files=1
    case ${3:-} in
    "") ;;
    --no-program-files) program_files=0 ;;
    *) usage ;;
    esac
    local dir=$DRIVES/small-c real=$PREFIX/drive_c name
    mount_tmpfs "$dir" "$bytes"
    # Symbolic links take no pages of a tmpfs, so the free space stays exactly the size.
    for name in windows users ProgramData; do
        ln -s "$real/$name" "$dir/$name"
    done
    if [ $program_files -eq 1 ]; then
        mkdir "$dir/Program Files"
    fi
    ln -sfn "$dir" "$PREFIX/dosdevices/c:"
    restart_server
}

cmd_restore_c() {
    set_paths "${1:-}"
    ln -sfn ../drive_c "$PREFIX/dosdevices/c:"
    unmount_tmpfs "$DRIVES/small-c"
    restart_server
}

# Runs "$@" after the first "--", then the undo command; returns the command's exit code.
run_then() {
    local undo=$1
    shift
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do shift; done
    [ $# -gt 1 ] || usage
    shift
    local status=0
    "$@" || status=$?
    eval "$undo"
    return $status
}

cmd_with_drive() {
    local build=${1:-} letter=${2:-} bytes=${3:-}
    shift 3 || usage
    cmd_add "$build" "$letter" "$bytes"
    trap 'cmd_remove "$build" "$letter"; exit 130' INT TERM
    run_then 'cmd_remove "$build" "$letter"' "$@"
}

cmd_with_small_c() {
    local build=${1:-} bytes=${2:-} option=""
    shift 2 || usage
    if [ "${1:-}" = --no-program-files ]; then
        option=$1
        shift
    fi
    cmd_small_c "$build" "$bytes" $option
    trap 'cmd_restore_c "$build"; exit 130' INT TERM
    run_then 'cmd_restore_c "$build"' "$@"
}

command=${1:-}
shift || usage
case $command in
add) cmd_add "$@" ;;
remove) cmd_remove "$@" ;;
small-c) cmd_small_c "$@" ;;
restore-c) cmd_restore_c "$@" ;;
with-drive) cmd_with_drive "$@" ;;
with-small-c) cmd_with_small_c "$@" ;;
*) usage ;;
esac
