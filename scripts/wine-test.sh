#!/usr/bin/env bash
# Runs one Windows program on the Wine bench of a build tree and returns its exit code.
#
#   wine-test.sh <builddir> <exe> [args...]
#
# The bench must be up (scripts/winebench.sh start, or ctest's bench.start fixture). Inside
# `winebench.sh with-screen` the program runs on that screen instead. The program sees:
#   QUILLARY_INSTALLER  the x86_64 installer under test, as a Windows path (unless already set)
#   QUILLARY_BUILD_DIR  the build tree, as a Windows path
#   QUILLARY_SOURCE_DIR the source tree, as a Windows path
#   WINEPREFIX          the prefix, as a Linux path (its drive_c is C:)
# With QUILLARY_NATIVE_FIRST set (DLL names, comma-separated), Wine prefers native copies of those
# names wherever its search finds one, in every process of the run: Wine reads WINEDLLOVERRIDES
# from the host environment only.
set -euo pipefail

[ $# -ge 2 ] || {
    echo "usage: $0 <builddir> <exe> [args...]" >&2
    exit 2
}
build_dir=$(cd "$1" && pwd)
exe=$2
shift 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)

env_file=${WINEBENCH_ENV:-$build_dir/winebench/env}
if [ ! -f "$env_file" ]; then
    echo "wine-test: no Wine bench for $build_dir (run: scripts/winebench.sh start $build_dir)" >&2
    exit 1
fi
# shellcheck disable=SC1090
. "$env_file"

[ -f "$exe" ] || {
    echo "wine-test: $exe not found (is the win64 cross build done?)" >&2
    exit 1
}

# Z: is the Linux root in every prefix.
windows_path() {
    local p=${1//\//\\}
    printf 'Z:%s' "$p"
}

if [ -n "${QUILLARY_NATIVE_FIRST:-}" ]; then
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$QUILLARY_NATIVE_FIRST=n,b"
fi
export QUILLARY_INSTALLER=${QUILLARY_INSTALLER:-$(windows_path "$build_dir/win64/installer/Quillary-Setup.exe")}
export QUILLARY_BUILD_DIR=$(windows_path "$build_dir")
export QUILLARY_SOURCE_DIR=$(windows_path "$source_dir")

# wine passes the program's exit code through. The program's output goes to a file that is shown
# afterwards: processes the session starts on the way (the desktop process, services) inherit
# the program's stdout and stderr and outlive it, and would keep a runner's pipe open.
log=$(mktemp "$build_dir/winebench/run.XXXXXX")
rc=0
wine "$exe" "$@" </dev/null >"$log" 2>&1 || rc=$?
cat "$log"
rm -f "$log"
exit $rc
