#!/usr/bin/env bash
# The shipped 32-bit exe on a 64-bit Windows (Wine's WoW64 prefix of scripts/shipped.sh): the
# unattended installation scenario, then what 64-bit programs see of an unattended installation:
# the Uninstall entry and App Paths in the 32-bit view, the files under the Program files folder
# the installer names (not the redirected one), the program started by its name alone from a
# 64-bit `start`, and the silent removal. Run by ctest (shipped.wow64) after shipped.start.
#
#   wow64.sh <builddir> <i686 e2e_tests.exe>
set -uo pipefail

build=$(cd "$1" && pwd)
e2e=$2
shipped="bash $(dirname "$0")/../../scripts/shipped.sh"
root=${QUILLARY_SHIPPED_CACHE:-/var/cache/quillary-shipped}/root
drive_c=$root/root/wow64/drive_c
product=$build/win32/sample-product
wine64=/usr/lib/wine/wine64
key='Microsoft\Windows\CurrentVersion'
failures=0

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

run() { $shipped run "$build" wow64 "$@"; }

# Waits up to $1 seconds for the command after it to succeed.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

run wine "$e2e" --gtest_filter='Unattended.InstallsTheDefaults*' ||
    fail "the unattended installation scenario in the WoW64 prefix"

# Our own unattended installation, looked at from the 64-bit side.
run wine "Z:${build//\//\\}\\Quillary-Setup.exe" /S
rc=$?
[ $rc -eq 0 ] || fail "Quillary-Setup.exe /S ended with $rc"

# The 64-bit reg.exe: the entry lies in the 32-bit view (Wow6432Node), reached through /reg:32;
# the 64-bit view has none.
out=$(run $wine64 reg query "HKLM\\Software\\Wow6432Node\\$key\\Uninstall\\Quillary" /v UninstallString)
grep -qi 'C:\\Program files\\Quillary\\uninstall.exe' <<<"$out" ||
    fail "no UninstallString under Wow6432Node: $out"
out=$(run $wine64 reg query "HKLM\\Software\\$key\\Uninstall\\Quillary" /v UninstallString /reg:32)
grep -qi 'uninstall.exe' <<<"$out" || fail "the 32-bit view of the Uninstall key (/reg:32): $out"
run $wine64 reg query "HKLM\\Software\\$key\\Uninstall\\Quillary" /reg:64 >/dev/null &&
    fail "an Uninstall entry in the 64-bit view"
out=$(run $wine64 reg query "HKLM\\Software\\Wow6432Node\\$key\\App Paths\\Quillary.exe" /ve)
grep -qi 'C:\\Program files\\Quillary\\Quillary.exe' <<<"$out" ||
    fail "no App Paths entry for Quillary.exe under Wow6432Node: $out"

# The destination is the Windows drive's own Program files folder, which is not redirected:
# every file of the i686 product there, byte for byte, beside the empty Gallerix folder the
# installer makes, and nothing under Program Files (x86).
installed="$drive_c/Program Files/Quillary"
diff -r -x Gallerix "$product" "$installed" >/dev/null ||
    fail "the installed files differ: $(diff -rq -x Gallerix "$product" "$installed" | head -3)"
[ -d "$installed/Gallerix" ] || fail "no Gallerix folder in $installed"
[ ! -e "$drive_c/Program Files (x86)/Quillary" ] || fail "files under Program Files (x86)"

# A 64-bit `start` finds the program through App Paths; its window shows on the screen.
. "$build/shipped/env"
quillary_window() {
    DISPLAY=$DISPLAY xwininfo -root -tree 2>/dev/null | grep -q '"Quillary": ("quillary.exe"'
}
no_quillary_window() { ! quillary_window; }
run $wine64 cmd /c start Quillary.exe || fail "64-bit start Quillary.exe failed"
wait_until 60 quillary_window || fail "no Quillary window after the 64-bit start Quillary.exe"
run $wine64 taskkill /f /im Quillary.exe >/dev/null
wait_until 30 no_quillary_window ||
    fail "Quillary.exe did not end"

run wine 'C:\Program files\Quillary\uninstall.exe' /S
rc=$?
[ $rc -eq 0 ] || fail "uninstall.exe /S ended with $rc"
run $wine64 reg query "HKLM\\Software\\Wow6432Node\\$key\\Uninstall\\Quillary" >/dev/null &&
    fail "the Uninstall entry stays"
wait_until 10 test ! -e "$drive_c/Program Files/Quillary" || fail "the installation folder stays"

[ $failures -eq 0 ] || {
    echo "$failures check(s) failed"
    exit 1
}
echo "WoW64: every check passed"
