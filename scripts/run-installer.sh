#!/usr/bin/env bash
# `make run`: runs the installer under Wine for the user.
#
#   run-installer.sh <builddir>
#
# With a DISPLAY the installer opens on it for the user to work. Without one, it runs on a
# virtual screen and a walk-through presses the buttons a first-time user would press (the
# directory browser opened from the destination page and cancelled, the installed program started
# from its shortcut at the end), saving a picture of each window once it shows its own controls
# painted, under <builddir>/run/.
set -euo pipefail

[ $# -eq 1 ] || {
    echo "usage: $0 <builddir>" >&2
    exit 2
}
scripts=$(cd "$(dirname "$0")" && pwd)
build_dir=$(cd "$1" && pwd)
installer=$build_dir/win64/installer/Quillary-Setup.exe
walkthrough=$build_dir/win64/tests/e2e/walkthrough.exe
[ -f "$installer" ] || {
    echo "run-installer: $installer not found (build first: make build)" >&2
    exit 1
}

echo "The shipped installer is $build_dir/Quillary-Setup.exe, a 32-bit (i686) program that"
echo "this machine's 64-bit-only Wine cannot run; running its x86_64 twin built from the same"
echo "sources: $installer"

trap 'bash "$scripts/winebench.sh" stop "$build_dir" >/dev/null' EXIT

if [ -n "${DISPLAY:-}" ]; then
    bash "$scripts/winebench.sh" start "$build_dir" --use-display
    rc=0
    bash "$scripts/winebench.sh" exec "$build_dir" -- wine "$installer" </dev/null \
        >"$build_dir/winebench/installer.log" 2>&1 || rc=$?
    echo "The installer ended with exit code $rc."
    exit 0
fi

echo "No DISPLAY: running on a virtual screen with the default walk-through."
bash "$scripts/winebench.sh" start "$build_dir"
run_dir=$build_dir/run
rm -rf "$run_dir"
mkdir -p "$run_dir"
rc=0
QUILLARY_INSTALLER=unused bash "$scripts/wine-test.sh" "$build_dir" "$walkthrough" \
    "Z:${installer//\//\\}" "Z:${run_dir//\//\\}" || rc=$?

# The driver writes BMP; PNG is what everyone can open.
shopt -s nullglob
for bmp in "$run_dir"/*.bmp; do
    if convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null; then
        rm -f "$bmp"
    fi
done
echo
echo "Screenshots of each window, in order:"
for shot in "$run_dir"/*; do
    echo "  $shot"
done
exit $rc
