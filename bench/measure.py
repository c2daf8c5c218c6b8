#!/usr/bin/python3
"""Runs one command and prints its wall seconds, user and system CPU seconds and peak resident
memory in KiB, on one line. /usr/bin/time rounds CPU to 10 ms, too coarse for curl.

Usage: measure.py OUTPUT COMMAND... (exits with the command's status)"""

import os
import subprocess
import sys
import time


def main():
    output, command = sys.argv[1], sys.argv[2:]
    start = time.monotonic()
    child = subprocess.Popen(command)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    with open(output, "w", encoding="utf-8") as out:
        out.write(f"{wall:.4f} {usage.ru_utime:.4f} {usage.ru_stime:.4f} {usage.ru_maxrss}\n")
    sys.exit(os.waitstatus_to_exitcode(status))


if __name__ == "__main__":
    main()
