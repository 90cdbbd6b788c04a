// Readings, console and logging. (Being written.)
#include "DataLog.h"
#include "Main.h"

void Main::SingleRead_Click() {}
void Main::Run_Click() {}
void Main::StopBtn_Click() {}
void Main::MSComm1_OnComm() {}
void Main::Send_Click() {}
void Main::SaveData_Click() {}
void Main::EndLog_Click() {}
void Main::WriteLogLine(const QString&) {}
void Main::connectConsole() {}
void Main::EndRunForLostPort(const QString&) {}
void Main::CloseLogFile() {
    if (log_) {
        log_->close();
    }
}
