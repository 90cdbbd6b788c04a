// The View and Help menus. (Being written.)
#include "Main.h"

void Main::mnuAbout_Click() {}
void Main::mnuSeeHelp_Click() {}
void Main::mnuTrend_Click() {}
