// Measurement configuration handlers. (Being written.)
#include "Main.h"

void Main::SetFunc_Click() {}
void Main::FuncBoxTwoStateOn_Click() {}
void Main::FuncBoxTwoStateOff_Click() {}
void Main::SetFuncTwo_Click() {}
void Main::SetRange_Click() {}
void Main::SetRangeType_Click() {}
void Main::SetRate_Click() {}
void Main::SetTrig_Click() {}
void Main::SendTrig_Click() {}
void Main::SetDisp_Click() {}
void Main::Hold_Click() {}
void Main::RefStateOn_Click() {}
void Main::RefStateOff_Click() {}
void Main::SetRefMethod_Click() {}
void Main::AcqRef_Click() {}
void Main::SetRef_Click() {}
void Main::Reset_Click() {}
