#!/usr/bin/env python3
"""Times qtor-ctl from process start to the first byte it writes to the line.

The script holds the far end of a pseudo-terminal pair itself, starts
`qtor-ctl --port <pty> info` and notes when the first byte arrives; it answers nothing, so
each run then ends by the time-out, which is not timed.

    bench/first_byte.py build/bin/qtor-ctl [runs]
"""
import os, select, statistics, subprocess, sys, time, tty

def once(ctl):
    master, slave = os.openpty()
    tty.setraw(master)
    path = os.ttyname(slave)
    t0 = time.monotonic()
    proc = subprocess.Popen([ctl, "--port", path, "info"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    ready, _, _ = select.select([master], [], [], 5.0)
    t1 = time.monotonic()
    proc.kill()
    proc.wait()
    os.close(master)
    os.close(slave)
    return (t1 - t0) * 1000.0 if ready else float("nan")

ctl = sys.argv[1] if len(sys.argv) > 1 else "build/bin/qtor-ctl"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
times = sorted(once(ctl) for _ in range(runs))
print(f"command: {' '.join(sys.argv)}")
print(f"process start to first byte: median {statistics.median(times):.1f} ms "
      f"(min {times[0]:.1f}, max {times[-1]:.1f}, {runs} runs)")
