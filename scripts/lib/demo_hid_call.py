"""The demo's call on a standard USB phone: the virtual HID telephony device
(a key pad model) behind its panel, and Tandivorex with the HID edition of
QVUSBTEL.dll beside it, as the HID download unpacks. The number is clicked
on the device's key pad; the call that then comes in lights its Ring lamp and
is answered by lifting the handset, which is the HID phone's Enter; Exit puts
the lamps out as it closes the device. Screenshots go to the output folder."""

import os
import shutil
import sys

from scripts.lib.demo_call import NUMBER, report_keys, step
from scripts.lib.desktop import PANEL_LAMP_DETAIL, PANEL_LAMP_NAME, PANEL_STATUS, SoftphoneLog, WineDesktop, wait_for
from scripts.lib.screen import CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE

HID_PANEL = "Virtual USB phone"


def main(bin_dir, hid_library, out_dir):
    # The program's own folder holds the HID edition, which Windows finds first.
    program = os.path.join(out_dir, "program")
    shutil.rmtree(program, ignore_errors=True)
    os.makedirs(program)
    shutil.copy(os.path.join(bin_dir, "Tandivorex.exe"), program)
    shutil.copy(hid_library, program)
    log = SoftphoneLog(os.path.join(out_dir, "softphone.log"))
    if os.path.exists(log.path):
        os.remove(log.path)
    with WineDesktop([program, bin_dir], out_dir, prefix=os.path.join(out_dir, "wineprefix")) as desk:
        print(f"demo: a Wine desktop on display {desk.env['DISPLAY']}", flush=True)
        step("the USB phone's panel opens, the phone unplugged; Tandivorex starts with the HID edition")
        desk.start("hid-panel.exe", "desk-phone")
        desk.wait_control(HID_PANEL, PANEL_STATUS, "Unplugged")
        tandivorex = desk.start("Tandivorex.exe")
        desk.wait_tray(NO_HANDSET, keep_as="1-no-handset")

        step("the phone is plugged in (the panel's Plug in: Wine's HID stack finds a new device); no softphone yet")
        desk.click_control(HID_PANEL, "Plug in")
        desk.wait_control(HID_PANEL, PANEL_STATUS, "Plugged in", timeout=30)
        desk.wait_tray(NO_SOFTPHONE, timeout=10, keep_as="2-no-softphone")

        step("the softphone starts")
        desk.start("softphone.exe", "--log", log.path, "--pos", "40", "150")
        desk.wait_tray(CONNECTED, keep_as="3-connected")

        step(f"{NUMBER} is clicked on the phone's key pad")
        desk.click_control(HID_PANEL, *NUMBER)
        wait_for(lambda: len(log.keys()) >= 2 * len(NUMBER), 10)
        desk.screenshot("4-dialled")

        step("an incoming call: the phone state 258 is sent to Tandivorex (phonestate 258)")
        rc, answer = desk.run("phonestate.exe", "258")
        desk.wait_control(HID_PANEL, PANEL_LAMP_NAME, "ringing")
        lamps = desk.control_texts(HID_PANEL, PANEL_LAMP_DETAIL)[0]
        desk.settled_screen("5-incoming-call")
        step(f"Tandivorex answered {answer.strip()}; the phone's {lamps}")
        ok = rc == 0 and answer.strip() == "1" and "Ring" in lamps

        step("the call is answered by lifting the handset, the HID phone's Enter")
        desk.click_control(HID_PANEL, "Lift handset")
        wait_for(lambda: len(log.keys()) >= 2 * (len(NUMBER) + 1), 10)
        desk.screenshot("6-answered")
        ok = report_keys(log) == NUMBER + "[Enter]" and ok

        step("Tandivorex is left through its tray menu: right-click the icon, choose Exit")
        desk.choose(desk.open_tray_menu(keep_as="7-tray-menu"), "Exit")
        ended = wait_for(lambda: tandivorex.poll() is not None, 10)
        desk.wait_tray(NO_ICON)
        out = desk.wait_control(HID_PANEL, PANEL_LAMP_NAME, "idle")[0]
        desk.settled_screen("8-exited")
        step(f"Tandivorex {'has ended' if ended else 'is STILL RUNNING'}; its icon has left the tray; "
             f"closing the device put the phone's lamps out ({out})")
        ok = ok and ended
        desk.click_control(HID_PANEL, "Unplug")
        desk.wait_control(HID_PANEL, PANEL_STATUS, "Unplugged", timeout=30)
    step(f"screenshots in {out_dir}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
