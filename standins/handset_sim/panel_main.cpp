// handset-panel: the simulated handset's panel on its own, for a double click,
// without the console window that handset-sim.exe would bring.
#include "standins/handset_sim/panel_window.h"

#include <stdio.h>

int main(int argc, char**)
{
    if (argc > 1) {
        fputs("usage: handset-panel (the same as: handset-sim panel)\n", stderr);
        return 2;
    }
    return CPanelWindow::Run();
}
