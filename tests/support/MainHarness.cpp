#include "support/MainHarness.h"

#include <QCoreApplication>
#include <QPushButton>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/PromptComboBox.h"
#include "support/MainState.h"

using vx::forms::Main;
using vx::forms::MainServices;

MainHarness::MainHarness()
    : window(std::make_unique<Main>(MainServices{
          .clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}})) {}

MainHarness::~MainHarness() = default;

bool MainHarness::connect(int com, int termIndex, const QByteArray& idn) {
    combo(w(), "ComPort")->setCurrentIndex(com - 1);
    combo(w(), "TermChar")->setCurrentIndex(termIndex);
    const QByteArray term = termIndex == 0 ? "\r" : "\n";
    bool answered = false;
    clock.onWait = [&](qint64) {
        if (!answered && port() != nullptr) {
            answered = true;
            port()->deliver(idn + term);
        }
    };
    button(w(), "ConnectBtn")->click();
    clock.onWait = nullptr;
    takeWire();
    return child<vx::link::SerialLink>(w(), "MSComm1")->isOpen() &&
           combo(w(), "FuncBox")->isEnabled();
}

QByteArray MainHarness::takeWire() {
    if (port() == nullptr) {
        return {};
    }
    QByteArray bytes = port()->written;
    port()->written.clear();
    return bytes;
}

void MainHarness::deliver(const QByteArray& bytes) {
    port()->deliver(bytes);
    QCoreApplication::processEvents();
}
