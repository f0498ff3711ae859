#!/usr/bin/env python3
"""Medians and spread of the runs bench/copy-page collects.

usage: runs.py < copy-page-output

Reads the per-run lines of the Wine runs (copy_page.exe: the installation's figures, then the idle
Wine program's, then the reinstallation's copy page) and of the native extraction core run after each, and prints one summary line a
figure: median of the runs with the smallest and largest.
"""
import re
import statistics
import sys

NUMBER = r"([0-9.]+)"
RUN = re.compile(
    r"^run (\d+): copy page " + NUMBER + r" s to the next step .*; success message after " +
    NUMBER + r" s; peak working set " + NUMBER + r" MB, private " + NUMBER + r" MB \(" + NUMBER +
    r" MB before the copy\); then idle notepad: working set " + NUMBER + r" MB, private " + NUMBER +
    r" MB")
REINSTALL = re.compile(r"^run (\d+) reinstallation: copy page " + NUMBER + r" s")
FLOOR = re.compile(r"^run (\d+) floor (first|reinstall): " + NUMBER + r" ms")
STEPS = re.compile(
    r"^run (\d+) steps: start-up " + NUMBER + r" s, agreement " + NUMBER + r" s, destination " +
    NUMBER + r" s, copy " + NUMBER + r" s, shortcut and success " + NUMBER + r" s")
UNATTENDED = re.compile(r"^run (\d+) unattended: " + NUMBER + r" ms, exit code 0$")
STARTUP = re.compile(r"^run (\d+) start-up: " + NUMBER + r" ms")
REFERENCE = re.compile(r"^run (\d+) reference: native extraction core " + NUMBER + r" ms")


def spread(values):
    return statistics.median(values), min(values), max(values)


def main():
    runs, references, reinstalls, steps, unattended, startups = {}, {}, {}, {}, {}, {}
    floors = {"first": {}, "reinstall": {}}
    for line in sys.stdin:
        found = RUN.match(line)
        if found:
            runs[int(found.group(1))] = [float(v) for v in found.groups()[1:]]
        found = UNATTENDED.match(line)
        if found:
            unattended[int(found.group(1))] = float(found.group(2))
        found = STARTUP.match(line)
        if found:
            startups[int(found.group(1))] = float(found.group(2))
        found = STEPS.match(line)
        if found:
            steps[int(found.group(1))] = [float(v) for v in found.groups()[1:]]
        found = REINSTALL.match(line)
        if found:
            reinstalls[int(found.group(1))] = float(found.group(2))
        found = FLOOR.match(line)
        if found:
            floors[found.group(2)][int(found.group(1))] = float(found.group(3))
        found = REFERENCE.match(line)
        if found:
            references[int(found.group(1))] = float(found.group(2))
    if not runs or sorted(runs) != sorted(references) or sorted(runs) != sorted(reinstalls):
        sys.exit("runs: every Wine run needs its figures and its reference run "
                 "(%d runs, %d references, %d reinstallations)"
             % (len(runs), len(references), len(reinstalls)))
    n = len(runs)
    columns = list(zip(*runs.values()))
    copy, whole, working, private, before, idle_working, idle_private = (
        spread(c) for c in columns)
    native = spread(list(references.values()))
    print("copy page under Wine: median %.3f s of %d runs (min %.3f, max %.3f), target < 0.5 s"
          % (copy[0], n, copy[1], copy[2]))
    reinstall = spread(list(reinstalls.values()))
    print("reinstallation copy page under Wine: median %.3f s of %d runs (min %.3f, max %.3f)"
          % (reinstall[0], n, reinstall[1], reinstall[2]))
    print("whole installation under Wine: median %.3f s of %d runs (min %.3f, max %.3f)"
          % (whole[0], n, whole[1], whole[2]))
    if sorted(steps) == sorted(runs):
        names = ("start-up to the agreement page", "agreement page", "destination page",
                 "copy page", "shortcut page to the success message")
        medians = ["%s %.3f s" % (name, spread(list(c))[0])
                   for name, c in zip(names, zip(*steps.values()))]
        print("whole installation, where its time goes (medians): " + ", ".join(medians))
    print("installer peak working set to the end of the copy: median %.1f MB of %d runs "
          "(min %.1f, max %.1f)" % (working[0], n, working[1], working[2]))
    print("installer private bytes during the copy, highest sampled: median %.1f MB of %d runs "
          "(min %.1f, max %.1f)" % (private[0], n, private[1], private[2]))
    print("installer private bytes as the destination page shows, before the copy: median "
          "%.1f MB of %d runs (min %.1f, max %.1f)" % (before[0], n, before[1], before[2]))
    print("idle Wine GUI program (notepad), after each run: working set median %.1f MB "
          "(min %.1f, max %.1f), private median %.1f MB (min %.1f, max %.1f)"
          % (idle_working + idle_private))
    for mode, label in (("first", "first installation"), ("reinstall", "reinstallation")):
        if sorted(floors[mode]) != sorted(runs):
            sys.exit("runs: every Wine run needs its floor runs")
        floor = spread(list(floors[mode].values()))
        print("floor program, %s, after each run: median %.1f ms of %d runs (min %.1f, max %.1f)"
              % (label, floor[0], n, floor[1], floor[2]))
    if sorted(unattended) != sorted(runs) or sorted(startups) != sorted(runs):
        sys.exit("runs: every Wine run needs its unattended installation (exit code 0) and the "
                 "start-up after it")
    alone, startup = spread(list(unattended.values())), spread(list(startups.values()))
    print("unattended installation, whole process: median %.1f ms of %d runs (min %.1f, max %.1f)"
          % (alone[0], n, alone[1], alone[2]))
    print("empty program start-up, after each: median %.1f ms of %d runs (min %.1f, max %.1f)"
          % (startup[0], n, startup[1], startup[2]))
    print("native extraction core, after each run: median %.2f ms of %d runs (min %.2f, max %.2f)"
          % (native[0], n, native[1], native[2]))


if __name__ == "__main__":
    main()
