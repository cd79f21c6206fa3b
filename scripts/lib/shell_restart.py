"""Ends the shell of the running Wine desktop and starts it again while
Tandivorex runs; see scripts/probe-shell-restart."""

import os
import signal
import subprocess
import sys

from desktop import NO_SOFTPHONE, Desktop, wait_for, wine_pids

def shell_pids():
    """The explorer.exe owning this prefix's desktop (its only one), as Linux processes."""
    return wine_pids(os.environ["WINEPREFIX"], "explorer.exe")


def main(bin_dir, artifacts, desktop_size):
    desk = Desktop(bin_dir, artifacts)
    try:
        desk.start("handset-sim.exe", "serve")
        wait_for(lambda: desk.run("handset-sim.exe", "status")[0] == 0, 10)
        program = desk.start("Tandivorex.exe")
        desk.sim("plug")
        desk.wait_tray(NO_SOFTPHONE, keep_as="1-before")
        print(f"before: the tray shows '{NO_SOFTPHONE}'")

        # Killed, as a crashed Explorer is on Windows.
        for pid in shell_pids():
            os.kill(pid, signal.SIGKILL)
        gone = wait_for(lambda: desk.desktop_window() is None and not shell_pids(), 10)
        desk.screenshot("2-shell-ended")
        print(f"the shell ended: {'yes' if gone else 'no'}; "
              f"Tandivorex running: {'yes' if program.poll() is None else 'no'}")

        log_path = os.path.join(artifacts, "explorer-again.log")
        with open(log_path, "w") as log:
            env = dict(os.environ, WINEDEBUG="err+all,+explorer")
            shell = subprocess.Popen(["wine", "explorer.exe", f"/desktop=Default,{desktop_size}"],
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
    finally:
        desk.run("handset-sim.exe", "quit")
        desk.stop_all()


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
