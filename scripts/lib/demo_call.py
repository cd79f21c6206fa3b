"""A short scripted call, for a person to watch: the simulated handset's panel
opens (with an unplugged handset behind it), the handset is plugged in, the
softphone starts, a number is dialled by clicks on the panel's keys, and the
softphone shows it; then a call comes in (a phone state sent to Tandivorex
becomes a command to the handset, which lights the panel's lamp), and
Tandivorex is left through its tray menu's Exit. Screenshots of each step go to
the output folder."""

import os
import sys

from scripts.lib.desktop import (PANEL, PANEL_COMMANDS, PANEL_LAMP_NAME, PANEL_STATUS, SoftphoneLog, WineDesktop,
                                 wait_for)
from scripts.lib.screen import CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE

NUMBER = "5551234"
KEY_NAMES = {0x0D: "Enter", 0x1B: "Escape", 0x6A: "*", 0x6F: "#", 0x26: "Up", 0x28: "Down",
             0x25: "Left", 0x27: "Right", 0x74: "F5"}


def step(text):
    print(f"demo: {text}", flush=True)


def report_keys(log):
    """Prints the keys the softphone received, and returns them as text."""
    received = [vk for kind, vk, _, _ in log.keys() if kind == "keydown"]
    shown = "".join(chr(vk) if 0x30 <= vk <= 0x39 else f"[{KEY_NAMES.get(vk, hex(vk))}]" for vk in received)
    step(f"the softphone received: {shown}")
    for kind, vk, lparam, t in log.keys():
        print(f"      {t:12.3f} ms  {kind:7}  vk=0x{vk:02X}  lparam=0x{lparam:08X}")
    return shown


def main(bin_dir, out_dir):
    log = SoftphoneLog(os.path.join(out_dir, "softphone.log"))
    if os.path.exists(log.path):
        os.remove(log.path)
    # A session of its own, on this display if there is one; the device that
    # the panel starts ends with everything else the demo started.
    with WineDesktop(bin_dir, out_dir, prefix=os.path.join(out_dir, "wineprefix")) as desk:
        print(f"demo: a Wine desktop on display {desk.env['DISPLAY']}", flush=True)
        step("the handset's panel opens, with the handset unplugged; Tandivorex starts")
        desk.start("handset-panel.exe")
        desk.wait_control(PANEL, PANEL_STATUS, "Unplugged")
        tandivorex = desk.start("Tandivorex.exe")
        desk.wait_tray(NO_HANDSET, keep_as="1-no-handset")

        step("the handset is plugged in (the panel's Plug in button); no softphone yet")
        desk.click_control(PANEL, "Plug in")
        desk.wait_tray(NO_SOFTPHONE, keep_as="2-no-softphone")

        step("the softphone starts")
        desk.start("softphone.exe", "--log", log.path, "--pos", "40", "150")
        desk.wait_tray(CONNECTED, keep_as="3-connected")

        step(f"{NUMBER} and Enter are clicked on the panel")
        desk.click_control(PANEL, *NUMBER, "Enter")
        wait_for(lambda: len(log.keys()) >= 2 * (len(NUMBER) + 1), 10)
        desk.screenshot("4-dialled")

        ok = report_keys(log) == NUMBER + "[Enter]"

        step("an incoming call: the phone state 258 is sent to Tandivorex (phonestate 258)")
        rc, answer = desk.run("phonestate.exe", "258")
        desk.wait_control(PANEL, PANEL_LAMP_NAME, "ringing")
        received = desk.control_texts(PANEL, PANEL_COMMANDS)[0]
        desk.settled_screen("5-incoming-call")
        step(f"Tandivorex answered {answer.strip()}; the panel's lamp is lit, its last command: {received}")
        ok = ok and rc == 0 and answer.strip() == "1" and "0x1004" in received

        step("Tandivorex is left through its tray menu: right-click the icon, choose Exit")
        desk.choose(desk.open_tray_menu(keep_as="6-tray-menu"), "Exit")
        ended = wait_for(lambda: tandivorex.poll() is not None, 10)
        desk.wait_tray(NO_ICON, keep_as="7-exited")
        closed = desk.sim("commands").splitlines()[-1].strip()
        step(f"Tandivorex {'has ended' if ended else 'is STILL RUNNING'}; its icon has left "
             f"the tray; the handset's last command: {closed}")
        ok = ok and ended and closed.startswith("0xFFFF")
    step(f"screenshots in {out_dir}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
