#include "MainHarness.h"

#include <QCoreApplication>
#include <QPushButton>

#include "Main.h"
#include "MainState.h"
#include "PromptComboBox.h"
#include "SerialLink.h"

MainHarness::MainHarness()
    : window(std::make_unique<Main>(MainServices{
          .clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}})) {}

MainHarness::~MainHarness() = default;

bool MainHarness::connect(int com, int termIndex, const QByteArray& idn) {
    child<shell::PromptComboBox>(w(), "ComPort")->setCurrentIndex(com - 1);
    child<shell::PromptComboBox>(w(), "TermChar")->setCurrentIndex(termIndex);
    const QByteArray term = termIndex == 0 ? "\r" : "\n";
    bool answered = false;
    clock.onWait = [&](qint64) {
        if (!answered && port() != nullptr) {
            answered = true;
            port()->deliver(idn + term);
        }
    };
    child<QPushButton>(w(), "ConnectBtn")->click();
    clock.onWait = nullptr;
    takeWire();
    return child<comm::SerialLink>(w(), "MSComm1")->isOpen() &&
           child<shell::PromptComboBox>(w(), "FuncBox")->isEnabled();
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
