"""Ends the shell of the running Wine desktop and starts it again while
Tandivorex runs; see scripts/probe-shell-restart."""

import os
import signal
import subprocess
import sys

from scripts.lib.desktop import WineDesktop, wait_for
from scripts.lib.screen import NO_SOFTPHONE
from scripts.lib.session import wine_loader


def main(bin_dir, artifacts, desktop_size):
    prefix = os.path.join(artifacts, "wineprefix")
    with WineDesktop(bin_dir, artifacts, prefix=prefix, device=True, desktop_size=desktop_size) as desk:
        program = desk.start("Tandivorex.exe")
        desk.sim("plug")
        desk.wait_tray(NO_SOFTPHONE, keep_as="1-before")
        print(f"before: the tray shows '{NO_SOFTPHONE}'")

        # Killed, as a crashed Explorer is on Windows.
        for pid in desk.pids("explorer.exe"):
            os.kill(pid, signal.SIGKILL)
        gone = wait_for(lambda: desk.desktop_window() is None and not desk.pids("explorer.exe"), 10)
        desk.screenshot("2-shell-ended")
        print(f"the shell ended: {'yes' if gone else 'no'}; "
              f"Tandivorex running: {'yes' if program.poll() is None else 'no'}")

        log_path = os.path.join(artifacts, "explorer-again.log")
        with open(log_path, "w") as log:
            env = dict(desk.env, WINEDEBUG="err+all,+explorer")
            shell = subprocess.Popen([wine_loader(64), "explorer.exe", f"/desktop=Default,{desktop_size}"],
                                     stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, env=env)
            # Wine's shell never broadcasts "TaskbarCreated", so even a shell
            # that came back would show no icon; a shell that ended ends the wait.
            wait_for(lambda: desk.tray_status() == NO_SOFTPHONE or shell.poll() is not None, 15)
        desk.screenshot("3-after")
        status = "still running" if shell.poll() is None else f"ended with {shell.returncode}"
        print(f"the shell started again: {status}; desktop window: "
              f"{'yes' if desk.desktop_window() else 'no'}; tray: '{desk.tray_status()}'")
        with open(log_path, errors="replace") as f:
            said = [line.rstrip() for line in f if "err:" in line or "X Error" in line or "trace:" in line]
        for line in said[:20]:
            print(f"  explorer: {line}")
        print(f"Tandivorex running: {'yes' if program.poll() is None else 'no'}")
        return 0 if shell.poll() is None and desk.desktop_window() else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
