#!/usr/bin/env python3
"""CPU time that work other than the bench's takes while the bench measures.

    others_cpu.py MARK OUTPUT

Every second, until it is sent SIGTERM or its parent ends, adds up the CPU time of the user
processes whose environment holds no entry starting with MARK (the bench's WINEPREFIX=...,
which everything the bench starts inherits, Wine's own processes included), then writes the
CPU-seconds to OUTPUT. When the bench's sessions take every CPU, /proc/stat cannot tell their
work from anyone else's; this can. Only a process's own time counts: a parent's figure for the
children it has waited for would also hold the bench's processes that the init process
adopted. So a process that starts and ends between two readings is missed, and the figure is a
lower bound.
"""
import os
import signal
import sys
import time

KERNEL_THREAD = 0x00200000
TICKS = os.sysconf("SC_CLK_TCK")


def others(mark):
    """(pid, start time) -> CPU ticks, for every process that is not the bench's."""
    found = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % pid, "rb") as stat:
                fields = stat.read().rsplit(b")", 1)[1].split()
            if int(fields[6]) & KERNEL_THREAD:
                continue
            with open("/proc/%s/environ" % pid, "rb") as environ:
                if any(entry.startswith(mark) for entry in environ.read().split(b"\0")):
                    continue
        except (OSError, IndexError, ValueError):
            continue
        found[(pid, fields[19])] = sum(int(value) for value in fields[11:13])
    return found


def main():
    mark, output = sys.argv[1].encode(), sys.argv[2]
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    previous, ticks, parent = None, 0, os.getppid()
    while True:
        current = others(mark)
        if previous is not None:
            # A process seen for the first time started after the previous reading.
            ticks += sum(value - previous.get(key, 0) for key, value in current.items())
        previous = current
        if stopping or os.getppid() != parent:
            break
        time.sleep(1)
    with open(output, "w", encoding="ascii") as out:
        out.write("%.1f\n" % (ticks / TICKS))


if __name__ == "__main__":
    main()
