#!/usr/bin/python3
"""The Windows player under wine against the Linux player, side by side on
this machine, both showing the default demo in a terminal (tmux) (run by
hand; needs the Linux build with its Windows tree, build/windows, and
wine64, xdotool, Xvfb, evilwm and tmux):

    bench/windows/bench_wine_player.py BUILD [--seconds S] [--runs N]

  first frame   from the last answer (on the terminal for Linux, a key on
                the message box for wine, under Xvfb with a window manager)
                to the first frame in the terminal, N runs each in turns
                (default 5); medians and their ratio
  CPU share     processor time over S seconds of playing (default 60), both
                players running at once, as a share of one core: the player
                process alone, and with what shows its picture (the tmux
                server; for wine also its console host, wineserver and the
                rest of the prefix's processes)

Both answer No to both questions (the console, no speaker simulation) and
both play without a sound device (wine without its sound drivers, the Linux
player with SDL_AUDIODRIVER=none), so both follow the same silent
real-time clock. The work folder is BUILD/bench/windows/work.
"""

import argparse
import os
import pathlib
import shlex
import shutil
import statistics
import subprocess
import sys
import time

CAPTION = "lumen-drift Vexlade 2003"
MARKER = "VEXLADE BENCH FIRST FRAME"
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def run(command, **kwargs):
    return subprocess.run(command, shell=isinstance(command, str), check=False, capture_output=True, text=True,
                          **kwargs)


class Tmux:
    def __init__(self, name, command, env=None):
        self.socket = name
        run(["tmux", "-L", name, "kill-server"])
        run(["tmux", "-L", name, "-f", "/dev/null", "new-session", "-d", "-x", "80", "-y", "50", command],
            env=env)
        run(["tmux", "-L", name, "set", "-g", "status", "off"])

    def capture(self):
        return run(["tmux", "-L", self.socket, "capture-pane", "-p"]).stdout

    def keys(self, *keys):
        run(["tmux", "-L", self.socket, "send-keys", *keys])

    def server_pid(self):
        text = run(["tmux", "-L", self.socket, "display-message", "-p", "#{pid}"]).stdout.strip()
        return int(text) if text else None

    def close(self):
        run(["tmux", "-L", self.socket, "kill-server"])


def wait_for(condition, seconds=60.0, step=0.002):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return None


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        try:
            fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])  # utime, stime
        except (OSError, IndexError):
            pass
    return total / CLOCK_TICKS


def pids_where(test):
    found = []
    for entry in pathlib.Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if test(entry):
                    found.append(int(entry.name))
            except OSError:
                pass
    return found


def make_demo(build, work):
    """The default demo with a marker in its first frame."""
    demo = work / "demo"
    if (demo / "ld_vexl.d1").exists():
        return demo
    demo.mkdir(parents=True, exist_ok=True)
    vexl = build / "tools" / "vexl"
    frames = work / "frames.raw"
    subprocess.run([vexl, "unpack", build / "demo" / "ld_vexl.d1", frames], check=True)
    data = bytearray(frames.read_bytes())
    for i, c in enumerate(MARKER.encode()):
        data[2 * (20 + i)] = c
        data[2 * (20 + i) + 1] = 0x0F
    frames.write_bytes(bytes(data))
    subprocess.run([vexl, "pack", frames, demo / "ld_vexl.d1"], check=True)
    frames.unlink()
    shutil.copy(build / "demo" / "ld_vexl.d2", demo / "ld_vexl.d2")
    return demo


class Players:
    def __init__(self, build, work, demo):
        self.build = build
        self.demo = demo
        self.prefix = work / "wineprefix"
        self.wine64 = shutil.which("wine64") or "/usr/lib/wine/wine64"
        self.wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
        shutil.copy(build / "windows" / "player" / "vexlade.exe", demo / "vexlade.exe")
        self.display = None
        self.xvfb = None

    def wine_env(self):
        env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv,mscoree,mshtml=d")
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def start_x(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=[write_fd], stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.display = ":" + os.read(read_fd, 16).decode().strip()
        os.close(read_fd)
        # As on a desktop: without a window manager wine's message boxes
        # take two seconds to go.
        self.wm = subprocess.Popen(["evilwm", "-fn", "fixed"], env=dict(os.environ, DISPLAY=self.display),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        if not (self.prefix / "system.reg").exists():
            subprocess.run([self.wine64, "wineboot", "-i"], env=self.wine_env(), capture_output=True)
        # Wine's desktop belongs to the display it started on: a fresh one,
        # kept running between the runs.
        subprocess.run([self.wineserver, "-k"], env=self.wine_env(), capture_output=True)
        subprocess.run([self.wineserver, "-w"], env=self.wine_env(), capture_output=True)
        subprocess.run([self.wineserver, "-p"], env=self.wine_env())

    def stop(self):
        subprocess.run([self.wineserver, "-k"], env=self.wine_env(), capture_output=True)
        if self.xvfb:
            self.wm.terminate()
            self.xvfb.terminate()

    def start_linux(self):
        tmux = Tmux(f"vexl-bench-linux-{os.getpid()}",
                    f"cd {shlex.quote(str(self.demo))} && SDL_AUDIODRIVER=none "
                    f"{shlex.quote(str(self.build / 'player' / 'vexlade'))} 2>/dev/null; sleep 600")
        for question in ("FullScreen", "PC-Speaker"):
            if not wait_for(lambda q=question: q in tmux.capture()):
                raise RuntimeError("the Linux player asked nothing:\n" + tmux.capture())
            tmux.keys("n", "Enter")
        return tmux, time.monotonic()

    def start_wine(self):
        env = self.wine_env()
        tmux = Tmux(f"vexl-bench-wine-{os.getpid()}",
                    f"cd {shlex.quote(str(self.demo))} && {shlex.quote(self.wine64)} vexlade.exe 2>/dev/null; sleep 600",
                    env=env)
        x = {"DISPLAY": self.display}
        last = ""
        for _ in range(2):
            def box():
                found = run(f"xdotool search --onlyvisible --name {shlex.quote(CAPTION)} | tail -1",
                            env=dict(os.environ, **x)).stdout.strip()
                return found if found and found != last and run(
                    ["xdotool", "windowfocus", "--sync", found], env=dict(os.environ, **x)).returncode == 0 else None
            last = wait_for(box, step=0.05)
            if not last:
                raise RuntimeError(f"wine showed no question {_ + 1}:\n" + tmux.capture())
            run(["xdotool", "key", "n"], env=dict(os.environ, **x))
        return tmux, time.monotonic()

    def linux_pids(self, tmux):
        own = self.build / "player" / "vexlade"
        player = pids_where(lambda p: os.readlink(p / "exe") == str(own))
        return player, player + [tmux.server_pid()]

    def wine_pids(self, tmux):
        prefix = f"WINEPREFIX={self.prefix}".encode()
        everything = pids_where(lambda p: prefix in (p / "environ").read_bytes().split(b"\0"))
        player = pids_where(lambda p: (p / "comm").read_text().strip() == "vexlade.exe" and p.stat().st_uid == os.getuid()
                            and int(p.name) in everything)
        return player, everything + [tmux.server_pid()]


def first_frame(start):
    tmux, answered = start()
    try:
        if not wait_for(lambda: MARKER in tmux.capture(), seconds=30):
            raise RuntimeError("no first frame:\n" + tmux.capture())
        return time.monotonic() - answered
    finally:
        tmux.keys("C-c")
        time.sleep(1)
        tmux.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", type=pathlib.Path)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = args.build.resolve()
    work = build / "bench" / "windows" / "work"
    work.mkdir(parents=True, exist_ok=True)
    players = Players(build, work, make_demo(build, work))
    players.start_x()
    try:
        linux_ms, wine_ms = [], []
        for run_number in range(args.runs):
            linux_ms.append(1000 * first_frame(players.start_linux))
            wine_ms.append(1000 * first_frame(players.start_wine))
            print(f"run {run_number + 1}: Linux {linux_ms[-1]:.0f} ms, wine {wine_ms[-1]:.0f} ms", file=sys.stderr)
        lm, wm = statistics.median(linux_ms), statistics.median(wine_ms)
        print(f"first frame after the answers: Linux {lm:.0f} ms, wine {wm:.0f} ms (median of {args.runs}); "
              f"wine / Linux = {wm / lm:.2f}")
        print("  Linux runs: " + ", ".join(f"{v:.0f}" for v in linux_ms))
        print("  wine runs:  " + ", ".join(f"{v:.0f}" for v in wine_ms))

        linux_tmux, _ = players.start_linux()
        wine_tmux, _ = players.start_wine()
        for tmux in (linux_tmux, wine_tmux):
            wait_for(lambda t=tmux: MARKER not in t.capture() and "PC-Speaker" not in t.capture(), seconds=30)
        time.sleep(2)
        groups = {"Linux": players.linux_pids(linux_tmux), "wine": players.wine_pids(wine_tmux)}
        before = {name: (cpu_seconds(p), cpu_seconds(a)) for name, (p, a) in groups.items()}
        start = time.monotonic()
        time.sleep(args.seconds)
        wall = time.monotonic() - start
        share = {name: ((cpu_seconds(p) - before[name][0]) / wall, (cpu_seconds(a) - before[name][1]) / wall)
                 for name, (p, a) in groups.items()}
        for tmux in (linux_tmux, wine_tmux):
            tmux.keys("C-c")
        time.sleep(2)
        for tmux in (linux_tmux, wine_tmux):
            tmux.close()
        print(f"CPU share over {wall:.0f} s of playing, both at once (share of one core):")
        for name, (alone, total) in share.items():
            print(f"  {name:5}  player {100 * alone:5.1f} %   with its terminal{' and wine' if name == 'wine' else ''} "
                  f"{100 * total:5.1f} %")
        print(f"  wine / Linux: player {share['wine'][0] / share['Linux'][0]:.2f}, "
              f"with terminal {share['wine'][1] / share['Linux'][1]:.2f}")
    finally:
        players.stop()


if __name__ == "__main__":
    sys.exit(main())
