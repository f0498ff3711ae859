#!/usr/bin/env bash
# Builds the shipped installer twice from one source tree, each time from a copy of the sources
# in a folder of its own and into a build folder of its own, and checks the two exes are the
# same bytes: nothing of the build's place or time may reach the artifact.
#
#   reproducible-build.sh <sourcedir> <workdir>
#
# Only the shipped exe and what it needs are built (QUILLARY_SHIPPED_ONLY). The sources copied
# are the files git knows of, committed or not (the ignored build trees left out).
set -euo pipefail

[ $# -eq 2 ] || {
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
source_dir=$(cd "$1" && pwd)
work=$2
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

copy_sources() {
    local to=$1
    mkdir -p "$to"
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 -r sh -c 'for f; do [ -f "$f" ] && printf "%s\0" "$f"; done' sh |
        tar --null -T - -cf -) | tar -xf - -C "$to"
}

# Two different depths and names, so a build path in the exe cannot come out the same twice.
first_src=$work/a/src
second_src=$work/second/tree/sources
first_build=$work/a/build
second_build=$work/second/out
for pair in "$first_src $first_build" "$second_src $second_build"; do
    set -- $pair
    copy_sources "$1"
    echo "reproducible-build: building the shipped installer from $1 in $2"
    cmake -S "$1" -B "$2" -DQUILLARY_SHIPPED_ONLY=ON >"$2.configure.log" 2>&1 || {
        cat "$2.configure.log"
        exit 1
    }
    cmake --build "$2" --target shipped -j2 >"$2.build.log" 2>&1 || {
        tail -50 "$2.build.log"
        exit 1
    }
done

first=$first_build/Quillary-Setup.exe
second=$second_build/Quillary-Setup.exe
if ! cmp -s "$first" "$second"; then
    echo "reproducible-build: the two builds differ:" >&2
    ls -l "$first" "$second" >&2
    cmp -l "$first" "$second" | head -20 >&2 || true
    exit 1
fi
echo "reproducible-build: both builds give the same $(stat -c %s "$first") bytes" \
    "($(sha256sum "$first" | cut -c1-16)...)"
rm -rf "$work"
