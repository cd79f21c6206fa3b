// hid-panel: the virtual USB telephony device with a face, for the demo and a
// person trying the HID edition: hid-panel [MODEL]; desk-phone, whose lifted
// handset answers a call, when none is given.
#include "standins/handset_sim/hid_panel_window.h"
#include "standins/hid_phone/virtual_phone.h"

#include <stdio.h>

int main(int argc, char** argv)
{
    const VirtualPhoneModel* pModel = FindVirtualPhoneModel(argc > 1 ? argv[1] : "desk-phone");
    if (argc > 2 || pModel == nullptr) {
        fputs("usage: hid-panel [MODEL]   (the models: hid-phone models)\n", stderr);
        return 2;
    }
    return CHidPanelWindow::Run(pModel);
}
