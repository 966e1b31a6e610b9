#!/usr/bin/env python3
"""Unplugs and replugs qtor-sensor-sim's device (a link to its pseudo-terminal) while qtor-kmb
runs run mode, video mode and nothing, and prints the time from the device's return to the
program's echo (read from its protocol trace). Needs an X server of its own (no other window
in the way) with a window manager, and xdotool; clicks Run and Video at their places in the
default layout.

    Xvfb :99 & DISPLAY=:99 openbox &
    DISPLAY=:99 bench/replug_modes.py build/bin [rounds]
"""
import os, subprocess, sys, tempfile, time

bindir = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 2
tmp = tempfile.mkdtemp(prefix="qtor-replug-")
link, trace = os.path.join(tmp, "tty"), os.path.join(tmp, "trace.txt")
env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "config"))
BUTTONS = {"run": (102, 152), "video": (102, 180)}  # from the window's top left corner


def sim():
    p = subprocess.Popen([os.path.join(bindir, "qtor-sensor-sim"), "--link", link],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    p.stdout.readline()
    return p


def echoes():
    try:
        return sum(1 for l in open(trace) if l.rstrip().endswith(" echo"))
    except FileNotFoundError:
        return 0


def xdotool(*args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout


s = sim()
prog = subprocess.Popen([os.path.join(bindir, "qtor-kmb"), "--port", link, "--trace", trace],
                        env=env, stderr=subprocess.DEVNULL)
time.sleep(3)
window = xdotool("search", "--pid", str(prog.pid), "--name", "Q-TOR KMB").split()[0]
x0, y0 = [int(v) for v in xdotool("getwindowgeometry", window)
          .split("Position: ")[1].split(" ")[0].split(",")]
for mode in ["run", "video", "idle"] * rounds:
    if mode in BUTTONS:
        bx, by = BUTTONS[mode]
        xdotool("mousemove", str(x0 + bx), str(y0 + by), "click", "1")
    time.sleep(2)
    s.kill()
    s.wait()
    time.sleep(1.5)
    before = echoes()
    s = sim()
    back = time.monotonic()
    while time.monotonic() < back + 5 and echoes() <= before:
        time.sleep(0.002)
    took = (time.monotonic() - back) * 1000 if echoes() > before else None
    print(f"{mode:5}: device back to the program's echo: "
          + (f"{took:.0f} ms" if took is not None else "none within 5 s"))
    time.sleep(1.5)
    xdotool("key", "--window", window, "Escape")
    time.sleep(0.5)
prog.terminate()
prog.wait()
s.kill()
