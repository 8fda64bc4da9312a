#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs a command with its standard output discarded and prints the peak of its anonymous
resident memory in KiB (RssAnon in /proc/PID/status, read every millisecond): the memory a
program holds beyond the files it maps, which a peak RSS mixes with mapped file pages.

Usage: peak_anon.py COMMAND [ARG...]
"""
import subprocess
import sys
import time


def rss_anon(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return 0


def main():
    child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while child.poll() is None:
        peak = max(peak, rss_anon(child.pid))
        time.sleep(0.001)
    if child.returncode != 0:
        sys.exit(f"peak_anon.py: {sys.argv[1]} exited with status {child.returncode}")
    print(peak)


main()
