#!/usr/bin/env python3
"""Measures the link watch of qtor-kmb against qtor-sensor-sim on a pseudo-terminal reached
through a link (an adapter unplugged and plugged in again): the CPU the program uses while it
waits for the device, and the time from the device's return to the program's connect.

    bench/link_watch.py build/bin [seconds-waiting] [rounds]

Reads the program's protocol trace to see when it writes its echo. Prints figures only.
"""
import os, signal, statistics, subprocess, sys, tempfile, time

bindir = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
waiting = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
tmp = tempfile.mkdtemp(prefix="qtor-watch-")
link = os.path.join(tmp, "tty")
trace = os.path.join(tmp, "trace.txt")
# What the program remembers at exit stays in the scratch folder.
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=os.path.join(tmp, "config"))

def sim():
    p = subprocess.Popen([os.path.join(bindir, "qtor-sensor-sim"), "--link", link],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    p.stdout.readline()
    return p

def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def echoes():
    try:
        return sum(1 for l in open(trace) if l.rstrip().endswith(" echo"))
    except FileNotFoundError:
        return 0

def wait_for(cond, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if cond():
            return True
        time.sleep(0.002)
    return False

s = sim()
prog = subprocess.Popen([os.path.join(bindir, "qtor-kmb"), "--port", link, "--trace", trace],
                        env=env, stderr=subprocess.DEVNULL)
assert wait_for(lambda: echoes() >= 1, 10), "the program did not connect"
time.sleep(1.0)
shares, delays = [], []
for _ in range(rounds):
    s.send_signal(signal.SIGTERM)
    s.wait()
    time.sleep(0.5)  # the unplug is noticed
    c0, t0 = cpu_seconds(prog.pid), time.monotonic()
    time.sleep(waiting)
    shares.append(100.0 * (cpu_seconds(prog.pid) - c0) / (time.monotonic() - t0))
    before = echoes()
    back = time.monotonic()
    s = sim()
    if wait_for(lambda: echoes() > before, 5):
        delays.append(1000.0 * (time.monotonic() - back))
    time.sleep(1.0)
prog.send_signal(signal.SIGTERM)
prog.wait()
s.send_signal(signal.SIGTERM)
s.wait()
print(f"command: {' '.join(sys.argv)}")
print(f"waiting for the device: CPU {statistics.median(shares):.2f} % of a core "
      f"(median of {rounds} waits of {waiting:.0f} s; min {min(shares):.2f}, max {max(shares):.2f})")
if delays:
    print(f"device back to the program's echo: median {statistics.median(delays):.0f} ms "
          f"(min {min(delays):.0f}, max {max(delays):.0f}, {len(delays)} of {rounds} rounds)")
