#!/usr/bin/env python3
"""Gathers the benchmark figures of one `make bench` run into one table.

usage: report.py BUILD_DIR LOG_DIR OUTPUT

Reads the outputs of bench/copy-page (the native extraction core and pack unpack against
tar -xzf; the installer runs under Wine, each followed by the idle Wine program and a native run
of the extraction core) and bench/backdrop saved in LOG_DIR, measures the shipped installer's
sections and resources, prints the table and writes it to OUTPUT (Markdown). Each Wine row shows
the machine's load average over one minute before and after its runs.
"""
import os
import platform
import re
import struct
import subprocess
import sys
import time

RT_NAMES = {
    1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table", 10: "raw data",
    12: "cursor group", 14: "icon group", 16: "version", 24: "manifest",
}
RT_RCDATA = 10
PAYLOAD_RESOURCE_ID = 15734
CODE_TARGET_KB = 64
SLACK_MB = 8


def fail(message):
    sys.exit("report: " + message)


def spread(text, pattern, what):
    """The (median, min, max) that pattern's first three groups capture from text."""
    found = re.search(pattern, text)
    if not found:
        fail("no figures for " + what + " in the benchmark output")
    return tuple(float(v) for v in found.groups()[:3])


class Pe:
    """The parts of a PE file the size report needs: sections and the resource tree."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            fail("the shipped installer is not a PE file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from(
            "<H", data, pe + 20)[0]
        table = pe + 24 + optional_size
        self.sections = []
        for i in range(count):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((name, rva, max(vsize, raw_size), raw_size, raw_at))

    def offset(self, rva):
        for _, start, size, _, raw_at in self.sections:
            if start <= rva < start + size:
                return rva - start + raw_at
        fail("address outside every section")

    def section(self, name):
        return next((s for s in self.sections if s[0] == name), None)

    def resource_sizes(self):
        """Bytes of resource data by type, and the payload's own size."""
        rsrc = self.section(".rsrc")
        if rsrc is None:
            return {}, 0
        base = rsrc[4]
        sizes, payload = {}, 0

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield ident, target

        def leaves(target):
            if target & 0x80000000:
                for _, child in entries(target & 0x7FFFFFFF):
                    yield from leaves(child)
            else:
                yield struct.unpack_from("<I", self.data, base + target + 4)[0]

        for kind, kind_target in entries(0):
            for ident, target in entries(kind_target & 0x7FFFFFFF):
                size = sum(leaves(target))
                if kind == RT_RCDATA and ident == PAYLOAD_RESOURCE_ID:
                    payload += size
                else:
                    sizes[kind] = sizes.get(kind, 0) + size
        return sizes, payload


def machine():
    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as info:
            names = [l.split(":", 1)[1].strip() for l in info if l.startswith("model name")]
        if names:
            cpu = names[0]
    except OSError:
        pass
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    return "%s, %d cores, Linux %s, %s" % (
        cpu, os.cpu_count() or 0, platform.release(), wine or "Wine (version unknown)")


def loads(text, what):
    """The one-minute load averages printed before and after a Wine row's runs, as "a → b"."""
    found = re.search(r"load average before: ([0-9.]+) \(1 min\).*?"
                      r"load average after: ([0-9.]+) \(1 min\)", text, re.S)
    if not found:
        fail("no load averages around " + what)
    return "%.2f → %.2f" % (float(found.group(1)), float(found.group(2)))


def main():
    if len(sys.argv) != 4:
        fail(__doc__.strip().splitlines()[2])
    build, logs, output = sys.argv[1:]
    copy = open(os.path.join(logs, "copy-page.txt")).read()
    backdrop = open(os.path.join(logs, "backdrop.txt")).read()
    number = r"([0-9.]+)"
    spread_of = number + r" \S+ \(min " + number + r", max " + number + r"\)"

    ours = spread(copy, r"installer path.*median " + spread_of, "the extraction core")
    pack = spread(copy, r"pack unpack.*median " + spread_of, "pack unpack")
    tar = spread(copy, r"tar -xzf: *median " + spread_of, "tar -xzf")
    runs_native = int(re.search(r"(\d+) runs each", copy).group(1))
    page = spread(copy, r"copy page under Wine: median " + number + r" s of \d+ runs \(min " +
                  number + r", max " + number, "the copy page")
    runs_wine = int(re.search(r"copy page under Wine: median [0-9.]+ s of (\d+) runs", copy).group(1))
    reinstall = spread(copy, r"reinstallation copy page under Wine: median " + number +
                       r" s of \d+ runs \(min " + number + r", max " + number,
                       "the reinstallation's copy page")
    whole = spread(copy, r"whole installation under Wine: median " + number + r" s of \d+ runs "
                   r"\(min " + number + r", max " + number, "the whole installation")
    working = spread(copy, r"peak working set to the end of the copy: median " + number +
                     r" MB of \d+ runs \(min " + number + r", max " + number, "peak memory")
    private = spread(copy, r"private bytes during the copy, highest sampled: median " + number +
                     r" MB of \d+ runs \(min " + number + r", max " + number, "private bytes")
    before = spread(copy, r"private bytes as the destination page shows, before the copy: median " +
                    number + r" MB of \d+ runs \(min " + number + r", max " + number,
                    "private bytes before the copy")
    idle = re.search(r"notepad\), after each run: working set median " + number + r" MB \(min " +
                     number + r", max " + number + r"\), private median " + number + r" MB \(min " +
                     number + r", max " + number, copy)
    if not idle:
        fail("no figures for the idle Wine program")
    idle_working = tuple(float(v) for v in idle.groups()[0:3])
    idle_private = tuple(float(v) for v in idle.groups()[3:6])
    native = spread(copy, r"native extraction core, after each run: median " + number +
                    r" ms of \d+ runs \(min " + number + r", max " + number,
                    "the extraction core between the Wine runs")
    alone = spread(copy, r"unattended installation, whole process: median " + number +
                   r" ms of \d+ runs \(min " + number + r", max " + number,
                   "the unattended installation")
    startup = spread(copy, r"empty program start-up, after each: median " + number +
                     r" ms of \d+ runs \(min " + number + r", max " + number,
                     "the empty program's start-up")
    steps = re.search(r"where its time goes \(medians\): (.*)", copy)
    if not steps:
        fail("no figures for the steps of the whole installation")
    wine_load = loads(copy[copy.index("== copy page under Wine"):], "the installer runs")
    floor_first = spread(copy, r"floor program, first installation, after each run: median " +
                         number + r" ms of \d+ runs \(min " + number + r", max " + number,
                         "the floor of a first installation")
    floor_again = spread(copy, r"floor program, reinstallation, after each run: median " +
                         number + r" ms of \d+ runs \(min " + number + r", max " + number,
                         "the floor of a reinstallation")
    large = open(os.path.join(logs, "large.txt")).read()

    def large_runs(pattern):
        values = [float(v) for v in re.findall(pattern, large)]
        if not values:
            fail("no figures for the large product (" + pattern + ")")
        values.sort()
        return values[len(values) // 2], values[0], values[-1], len(values)

    large_unattended = large_runs(r"large unattended: ([0-9.]+) ms, exit code 0")
    large_startup = large_runs(r"large start-up: ([0-9.]+) ms")
    large_floor = large_runs(r"large floor first: ([0-9.]+) ms")
    large_page = large_runs(r"large interactive: copy page ([0-9.]+) s")
    large_private = large_runs(r"large interactive: .*private ([0-9.]+) MB \(")
    large_before = large_runs(r"large interactive: .*\(([0-9.]+) MB before the copy\)")
    large_idle = large_runs(r"large interactive: .*idle notepad: .*private ([0-9.]+) MB")
    large_wait = re.search(r"large copy page queue: longest wait (\d+) ms", large)
    if not large_wait:
        fail("no figure for the large product's queue wait")
    large_what = re.search(r"large product: (\d+) files, (\d+) bytes", large)
    large_load = loads(large, "the large product's runs")

    backdrops = re.findall(
        r"load average before: ([0-9.]+) \(1 min\)[^\n]*\n(?:.*\n)*?"
        r".*one BitBlt from the display\): median " + number + r" ms, min " + number +
        r" ms, max " + number + r" ms\s*\nbuildBackdrop (\d+)x(\d+) at (\d+) bits: median " +
        number + r" ms, min " + number + r" ms, max " + number + r" ms \((\d+) runs\)"
        r"(?:.*\n)*?load average after: ([0-9.]+) \(1 min\)", backdrop)
    if len(backdrops) < 2:
        fail("the backdrop figures of both screen sizes, and the load around them, are missing")

    exe_path = os.path.join(build, "Quillary-Setup.exe")
    exe = Pe(open(exe_path, "rb").read())
    rsrc = exe.section(".rsrc")
    by_type, payload = exe.resource_sizes()
    resources_raw = rsrc[3] if rsrc else 0
    code = len(exe.data) - resources_raw
    listing = subprocess.run([os.path.join(build, "tools/pack/pack"), "list",
                              os.path.join(build, "win64/payload/payload.gz")],
                             capture_output=True, text=True, check=True).stdout
    largest = max(int(line.split()[0]) for line in listing.splitlines()
                  if re.match(r"\s*\d+\s+\S", line) and "records" not in line)
    screen = re.search(r"screen (\d+)x(\d+) at (\d+) bits", copy)
    if not screen:
        fail("the installer runs' screen size is missing")
    width, height = int(screen.group(1)), int(screen.group(2))
    # The backdrop's device-independent bitmap: 32 bits a pixel above 8-bit screens.
    backdrop_bitmap = width * height * (4 if int(screen.group(3)) > 8 else 1)
    mb = 1024.0 * 1024.0
    memory_target = (payload + largest + backdrop_bitmap) / mb + SLACK_MB
    own = private[0] - idle_private[0]

    def ms(figures):
        return "%.1f ms (%.1f–%.1f)" % figures

    def sec(figures):
        return "%.3f s (%.3f–%.3f)" % figures

    def mb_spread(figures):
        return "%.1f MB (%.1f–%.1f)" % figures

    rows = [
        ("Extraction core, native (write .gz, gunzip, unpack 129 files; %d runs)" % runs_native,
         ms(ours), "tar -xzf of the same tree, same runs: " + ms(tar),
         "ratio %.2f (target ≤ 1.0)" % (ours[0] / tar[0]), ""),
        ("pack unpack, native (the payload tool, its own process; %d runs)" % runs_native,
         ms(pack), "tar -xzf of the same tree, same runs: " + ms(tar),
         "ratio %.2f (target ≤ 1.0)" % (pack[0] / tar[0]), ""),
        ("Copy page under Wine (page shown → next step shown; %d runs)" % runs_wine, sec(page),
         "native extraction core, one run after each: " + ms(native), "target < 0.5 s",
         wine_load),
        ("Copy page of a reinstallation under Wine (every file replaced, backups deleted; "
         "%d runs)" % runs_wine, sec(reinstall), "first installation: " + sec(page),
         "ratio %.2f" % (reinstall[0] / page[0]), wine_load),
        ("Floor: the same files written from memory (CreateFile/WriteFile/CloseHandle), new "
         "folder, after each installation", ms(floor_first), "copy page " + sec(page),
         "copy page / floor %.2f (goal ≤ 2.0)" % (page[0] * 1000 / floor_first[0]), wine_load),
        ("Floor of a reinstallation (each file renamed aside first, deleted at the end)",
         ms(floor_again), "reinstallation's copy page " + sec(reinstall),
         "copy page / floor %.2f (goal ≤ 2.0)" % (reinstall[0] * 1000 / floor_again[0]),
         wine_load),
        ("Unattended installation, whole process (129 files; %d runs)" % runs_wine, ms(alone),
         "empty program start-up %.1f ms + floor %.1f ms" % (startup[0], floor_first[0]),
         "ratio %.2f (keep about 1.25)" % (alone[0] / (startup[0] + floor_first[0])), wine_load),
        ("Large product, unattended installation, whole process (%s files, %.0f MB; %d runs)"
         % (large_what.group(1), int(large_what.group(2)) / 1e6, large_unattended[3]),
         "%.2f s (%.2f–%.2f)" % tuple(v / 1000 for v in large_unattended[:3]),
         "empty program start-up %.2f s + floor %.2f s" % (large_startup[0] / 1000,
                                                           large_floor[0] / 1000),
         "ratio %.2f (goal ≤ 1.5)" % (large_unattended[0] / (large_startup[0] + large_floor[0])),
         large_load),
        ("Large product, interactive copy page (%d runs)" % large_page[3],
         "%.2f s (%.2f–%.2f)" % large_page[:3], "floor %.2f s" % (large_floor[0] / 1000),
         "ratio %.2f (goal ≤ 1.5)" % (large_page[0] * 1000 / large_floor[0]), large_load),
        ("Large product, copy page: longest time the queue (and a Cancel) waited, one logged run",
         "%s ms" % large_wait.group(1), "", "goal ≤ 100 ms", large_load),
        ("Large product, installer private memory during the copy, highest sampled",
         "%.1f MB (%.1f–%.1f)" % large_private[:3],
         "before the copy %.1f MB (the image Wine reads into private memory, payload "
         "included); idle Wine GUI program %.1f MB" % (large_before[0], large_idle[0]),
         "the copy adds %.1f MB (sample product: %.1f MB; goal: bounded)"
         % (large_private[0] - large_before[0], private[0] - before[0]), large_load),
    ]
    for b in backdrops[:2]:
        capture = tuple(float(v) for v in b[1:4])
        build_times = tuple(float(v) for v in b[7:10])
        rows.append(("buildBackdrop %sx%s at %s bits under Wine (%s runs)" % (b[4], b[5], b[6], b[10]),
                     ms(build_times), "one-BitBlt capture after each, same size: " + ms(capture),
                     "ratio %.2f" % (build_times[0] / capture[0]),
                     "%.2f → %.2f" % (float(b[0]), float(b[11]))))
    rows += [
        ("Whole default installation under Wine (started → success message; %d runs)" % runs_wine,
         sec(whole), "steps: " + steps.group(1), "", wine_load),
        ("Installer private memory during the copy, highest sampled (%d runs)" % runs_wine,
         mb_spread(private),
         "idle Wine GUI program (notepad) after each run: %s; peak working set %s, idle %s"
         % (mb_spread(idle_private), mb_spread(working), mb_spread(idle_working)),
         "above idle %.1f MB; target %.1f MB = payload %.2f + largest file %.2f + backdrop "
         "%dx%d %.2f + %d" % (own, memory_target, payload / mb, largest / mb, width, height,
                              backdrop_bitmap / mb, SLACK_MB), wine_load),
        ("Quillary-Setup.exe", "%d bytes" % len(exe.data),
         "payload %d; other resources %d (%s)" % (
             payload, resources_raw - payload,
             ", ".join("%s %d" % (RT_NAMES.get(k, str(k)), v)
                       for k, v in sorted(by_type.items()) if v)),
         "code and runtime %.1f KB (target < %d KB)" % (code / 1024.0, CODE_TARGET_KB), ""),
    ]
    header = ("| Measure | Median (min–max) | Beside it | Ratio, target | Load (1 min) before → after |\n"
              "|---|---|---|---|---|\n")
    table = header + "".join("| %s | %s | %s | %s | %s |\n" % row for row in rows)
    stamp = "Measured %s on %s." % (time.strftime("%Y-%m-%d"), machine())
    text = table + "\n" + stamp + "\n"
    print(text, end="")
    with open(output, "w") as out:
        out.write(text)
    print("(written to %s)" % output)


if __name__ == "__main__":
    main()
