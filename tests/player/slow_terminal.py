"""Runs the real vexlade in a terminal that takes its output slowly.

The terminal is pyte's screen behind a pseudo-terminal read at RATE bytes
a second; it answers status requests (CSI 5 n) in order, as a terminal on
the other end of a slow link does. After the questions (answered n, n) it
watches the frame number the demo writes in the top-left corner of each
frame, each time a whole frame has arrived, and measures the lag behind
the clock. Then it takes the rest at full speed, checks that the picture
is exactly the demo's last frame, ends the run with Ctrl+C and checks what
the player said on stderr.

usage: slow_terminal.py VEXLADE DEMO_DIR RATE SECONDS
DEMO_DIR holds the demo and its last frame as last_frame.raw; its frames
must go on for longer than SECONDS.
Writes "key=value" lines; exits 1 with a reason when a check fails.
"""

import os
import pty
import select
import signal
import struct
import sys
import time
import fcntl
import termios

import pyte

FRAME_END = b"\x1b[?2026l"
PERIOD = 0.04
VGA = ["000000", "0000aa", "00aa00", "00aaaa", "aa0000", "aa00aa", "aa5500", "aaaaaa",
       "555555", "5555ff", "55ff55", "55ffff", "ff5555", "ff55ff", "ffff55", "ffffff"]


def fail(reason):
    print("failed=" + reason)
    sys.exit(1)


def main():
    vexlade, demo_dir, rate, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
    last_frame = open(os.path.join(demo_dir, "last_frame.raw"), "rb").read()
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(demo_dir)
        os.environ.update(COLORTERM="truecolor", SDL_AUDIODRIVER="none", TERM="xterm-256color")
        os.execv(vexlade, [vexlade])
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 80, 0, 0))

    screen = pyte.Screen(80, 50)
    stream = pyte.ByteStream(screen)
    screen.write_process_input = lambda answer: os.write(fd, answer.encode())
    received = bytearray()

    def take(limit, wait):
        ready, _, _ = select.select([fd], [], [], wait)
        if not ready:
            return b""
        try:
            data = os.read(fd, limit)
        except OSError:
            return None
        received.extend(data)
        return data

    def answer(question, reply):
        end = time.monotonic() + 30
        while question not in "\n".join(screen.display):
            if time.monotonic() > end:
                fail("no question " + question)
            data = take(65536, 0.1)
            if data is None:
                fail("the player ended early")
            stream.feed(data)
        os.write(fd, reply)

    answer("Use DirectDraw output (FullScreen)? [Y/n]", b"n\n")
    answer("Simulate PC-Speaker? [Y/n]", b"n\n")
    start = time.monotonic()  # the clock starts about now

    def shown_number():
        digits = "".join(screen.buffer[0][x].data for x in range(5))
        return int(digits) if digits.isdigit() else None

    # Only whole frames are looked at; the rest waits for more.
    pending = bytearray()
    shown = []  # (time, frame number) after each whole frame

    def feed(data):
        pending.extend(data)
        while True:
            end = pending.find(FRAME_END)
            if end < 0:
                break
            stream.feed(bytes(pending[:end + len(FRAME_END)]))
            del pending[:end + len(FRAME_END)]
            number = shown_number()
            if number is not None:
                shown.append((time.monotonic(), number))
        keep = len(FRAME_END) - 1
        while keep > 0 and not pending.endswith(FRAME_END[:keep]):
            keep -= 1
        stream.feed(bytes(pending[:len(pending) - keep]))
        del pending[:len(pending) - keep]

    frame_bytes_at_start = len(received)
    allowance, last = 0.0, time.monotonic()
    while time.monotonic() - start < seconds:
        now = time.monotonic()
        allowance = min(allowance + rate * (now - last), rate * 0.02)
        last = now
        if allowance < 64:
            time.sleep(0.005)
            continue
        data = take(int(allowance), 0.01)
        if data is None:
            fail("the terminal was hung up")
        allowance -= len(data)
        feed(data)
    throttled_bytes = len(received) - frame_bytes_at_start

    # The lag, every 10 ms after the first 2 s.
    lags, late = [], []
    t, at, number = start + 2, 0, -1
    while t < start + seconds:
        while at < len(shown) and shown[at][0] <= t:
            number = shown[at][1]
            at += 1
        lag = (t - start) - (number * PERIOD if number >= 0 else 0)
        lags.append(lag)
        if t - start > seconds * 2 / 3:
            late.append(lag)
        t += 0.01
    lags.sort()
    late.sort()
    frames = max(len(shown), 1)
    transmit = throttled_bytes / frames / rate
    print("frames_shown=%d" % len(shown))
    print("bytes_per_frame=%d" % (throttled_bytes / frames))
    print("lag_p50=%.3f" % lags[len(lags) // 2])
    print("lag_p95=%.3f" % lags[int(len(lags) * 0.95)])
    print("lag_p95_last_third=%.3f" % late[int(len(late) * 0.95)])
    print("lag_max=%.3f" % lags[-1])
    print("goal_p95=%.3f" % max(3 * PERIOD, 2 * transmit))

    # At full speed the newest picture arrives, exact: once the frames
    # have run out, and nothing more came for a second.
    last_number = int(bytes(last_frame[0:10:2]).decode())
    quiet_since = time.monotonic()
    end = quiet_since + 60
    while (not shown or shown[-1][1] != last_number) or time.monotonic() - quiet_since < 1.0:
        if time.monotonic() > end:
            fail("the last frame never came")
        data = take(65536, 0.1)
        if data is None:
            fail("the terminal was hung up")
        if data:
            quiet_since = time.monotonic()
            feed(data)
    for row in range(50):
        for col in range(80):
            ch, attr = last_frame[row * 160 + 2 * col], last_frame[row * 160 + 2 * col + 1]
            cell = screen.buffer[row][col]
            want = bytes([ch]).decode("cp437")
            if cell.data != want:
                fail("cell %d,%d shows %r, not %r" % (row, col, cell.data, want))
            if want != " " and cell.fg != VGA[attr & 15]:
                fail("cell %d,%d foreground %s, not %s" % (row, col, cell.fg, VGA[attr & 15]))
            if want != "\u2588" and cell.bg != VGA[attr >> 4]:
                fail("cell %d,%d background %s, not %s" % (row, col, cell.bg, VGA[attr >> 4]))
    print("last_picture=exact")

    os.kill(pid, signal.SIGINT)
    end = time.monotonic() + 10
    while time.monotonic() < end:
        if take(65536, 0.1) is None:
            break
    _, status = os.waitpid(pid, 0)
    print("exit=%d" % (os.WEXITSTATUS(status) if os.WIFEXITED(status) else -1))
    tail = received[-2000:].decode("utf-8", "replace")
    for line in tail.splitlines():
        if "vexlade: " in line:
            print("said=" + line[line.index("vexlade: "):].strip())


if __name__ == "__main__":
    main()
