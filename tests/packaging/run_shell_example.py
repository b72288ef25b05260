"""Runs examples/maintenance.sh in a pseudo-terminal and drives it with keys.

The example must show its menu with the piped-in lines, run the chosen task,
pause, come back to the menu, and end with status 0 on "Quit".

usage: run_shell_example.py EXAMPLE VEXPICK
"""

import fcntl
import os
import pty
import re
import select
import shutil
import struct
import sys
import tempfile
import termios
import time

WAIT_SECONDS = 10
# Control sequences and the rest of the terminal's commands, so that only the
# text that a person would read is left.
CONTROL = re.compile(rb"\x1b\[[0-?]*[ -/]*[@-~]|\x1b[()][0-9A-B]|\x1b[=>78]|[\x00-\x09\x0b-\x1f]")


class Terminal:
    def __init__(self, argv, env):
        pid, fd = pty.fork()
        if pid == 0:
            os.execvpe(argv[0], argv, env)
        fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
        self.pid, self.fd = pid, fd
        self.output = b""

    def text(self):
        return CONTROL.sub(b"", self.output).decode("utf-8", "replace")

    def read_some(self, deadline):
        ready, _, _ = select.select([self.fd], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            return False
        try:
            chunk = os.read(self.fd, 65536)
        except OSError:  # the child has gone and the pty is closed
            chunk = b""
        self.output += chunk
        return bool(chunk)

    def wait_for(self, what, count=1):
        deadline = time.monotonic() + WAIT_SECONDS
        while self.text().count(what) < count:
            if time.monotonic() > deadline or not self.read_some(deadline):
                raise ExampleFailed(f"did not see {what!r} {count} time(s)")

    def press(self, keys):
        os.write(self.fd, keys)

    def exit_status(self):
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                return os.waitstatus_to_exitcode(status)
            self.read_some(min(deadline, time.monotonic() + 0.05))
        raise ExampleFailed("the example did not end")


class ExampleFailed(Exception):
    pass


def drive(terminal):
    terminal.wait_for("What now?")
    terminal.wait_for("Quit")
    if "Maintenance of" not in terminal.text():
        raise ExampleFailed("the piped-in lines are not shown above the menu")
    terminal.press(b"d")  # Disk space, by its hotkey
    terminal.wait_for("Filesystem")
    terminal.wait_for("[B]")
    terminal.press(b"\r")  # back to the menu
    terminal.wait_for("What now?", 2)
    terminal.wait_for("Quit", 2)
    terminal.press(b"q")
    status = terminal.exit_status()
    if status != 0:
        raise ExampleFailed(f"the example ended with status {status}")


def main():
    example, vexpick = sys.argv[1:3]
    with tempfile.TemporaryDirectory() as bin_dir:
        os.symlink(os.path.abspath(vexpick), os.path.join(bin_dir, "vexpick"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C")
        terminal = Terminal([shutil.which("sh"), example], env)
        try:
            drive(terminal)
        except ExampleFailed as failure:
            print(failure, "\n--- what the terminal showed:\n" + terminal.text(), file=sys.stderr)
            os.kill(terminal.pid, 9)
            sys.exit(1)


if __name__ == "__main__":
    main()
