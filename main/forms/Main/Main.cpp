#include "forms/Main/Main.h"
#include "shell/Latin1View.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "forms/Trend/Trend.h"
#include "link/Errors.h"
#include "link/Framing.h"
#include "link/NetworkPort.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "log/DataLog.h"
#include "meter/Commands.h"
#include "shell/Busy.h"
#include "shell/Dialogs.h"
#include "shell/MenuKeys.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "shell/Wait.h"
#include "timing/Clock.h"

namespace vx::forms {

namespace {

using shell::fromLatin1View;

// Leading and trailing blanks only: the terminator must survive.
QString trimSpaces(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ') {
        ++begin;
    }
    while (end > begin && s[end - 1] == u' ') {
        --end;
    }
    return s.mid(begin, end - begin);
}

}  // namespace

Main::Main(const MainServices& services, QWidget* parent)
    : QMainWindow(parent),
      clock_(services.clock),
      dialogs_(services.dialogs),
      opener_(services.opener),
      helpFilePath_(services.helpFilePath) {
    MSComm1 = new link::SerialLink(opener_, this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    buildUi();
    createTrend();
    connectSignals();
    Form_Load();
}

Main::~Main() = default;

void Main::SetControlsEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
    SetControlsEnabled(std::span<QWidget* const>(controls.begin(), controls.size()), enabled);
}

void Main::SetControlsEnabled(std::span<QWidget* const> controls, bool enabled) {
    for (QWidget* w : controls) {
        w->setEnabled(enabled);
        Q_EMIT controlEnabledSet(w->objectName(), enabled);
    }
}

std::array<QWidget*, 28> Main::measurementControls() const {
    // Sized by its entries: one missing or one too many does not compile.
    return std::to_array<QWidget*>({FuncBoxTwoStateOff,
                                    FuncBoxTwoStateOn,
                                    FuncBoxTwo,
                                    SetFuncTwo,
                                    RefStateOn,
                                    RefStateOff,
                                    RefMethod,
                                    SetRefMethod,
                                    AcqRef,
                                    SetRef,
                                    Ref,
                                    RangeType,
                                    SetRangeType,
                                    Range,
                                    SetRange,
                                    SaveData,
                                    EndLog,
                                    Run,
                                    StopBtn,
                                    SingleRead,
                                    Display,
                                    SetDisp,
                                    Hold,
                                    Trigger,
                                    SetTrig,
                                    SendTrig,
                                    Rate,
                                    SetRate});
}

void Main::connectSignals() {
    const std::pair<QPushButton*, void (Main::*)()> clicks[] = {
        {ConnectBtn, &Main::ConnectBtn_Click},
        {Close, &Main::Close_Click},
        {Exit, &Main::Exit_Click},
        {SetFunc, &Main::SetFunc_Click},
        {FuncBoxTwoStateOn, &Main::FuncBoxTwoStateOn_Click},
        {FuncBoxTwoStateOff, &Main::FuncBoxTwoStateOff_Click},
        {SetFuncTwo, &Main::SetFuncTwo_Click},
        {SetRange, &Main::SetRange_Click},
        {SetRangeType, &Main::SetRangeType_Click},
        {SetRate, &Main::SetRate_Click},
        {SetTrig, &Main::SetTrig_Click},
        {SendTrig, &Main::SendTrig_Click},
        {SetDisp, &Main::SetDisp_Click},
        {Hold, &Main::Hold_Click},
        {RefStateOn, &Main::RefStateOn_Click},
        {RefStateOff, &Main::RefStateOff_Click},
        {SetRefMethod, &Main::SetRefMethod_Click},
        {AcqRef, &Main::AcqRef_Click},
        {SetRef, &Main::SetRef_Click},
        {Reset, &Main::Reset_Click},
        {SingleRead, &Main::SingleRead_Click},
        {Run, &Main::Run_Click},
        {StopBtn, &Main::StopBtn_Click},
        {Send, &Main::Send_Click},
        {SaveData, &Main::SaveData_Click},
        {EndLog, &Main::EndLog_Click},
    };
    for (const auto& [btn, handler] : clicks) {
        connect(btn, &QPushButton::clicked, this, handler);
    }
    // Adapters come and go: the tool tips say where each COM number points
    // whenever the list is opened.
    connect(ComPort, &shell::PromptComboBox::aboutToShowPopup, this, &Main::refreshPortTips);
    connect(MSComm1, &link::SerialLink::dataWaiting, this, &Main::MSComm1_OnComm);
    connect(MSComm1, &link::SerialLink::portLost, this, &Main::MSComm1_PortLost);
    connect(mnuAbout, &QAction::triggered, this, &Main::mnuAbout_Click);
    connect(mnuSeeHelp, &QAction::triggered, this, &Main::mnuSeeHelp_Click);
    connect(mnuTrend, &QAction::triggered, this, &Main::mnuTrend_Click);
    shell::giveMenuKeysFirst(this, {mnuAbout, mnuSeeHelp, mnuTrend});
    connectConsole();
}

void Main::Form_Load() {
    // The COM entries' tool tips are filled when the list first drops down,
    // not here: mapping them takes a look at every tty the system has, which
    // would hold up the window's start.
    ComPort->appendEntries(meter::kComPortItems);
    BaudRate->appendEntries(meter::kBaudRateItems);
    BaudRate->setCurrentIndex(meter::kBaudRateStart);
    TermChar->appendEntries(meter::captions(meter::kTermChars));
    TermChar->setCurrentIndex(meter::kTermCharStart);
    FuncBox->appendEntries(meter::kFunctionCaptions);
    FuncBox->setCurrentIndex(meter::kFunctionStart);
    Trigger->appendEntries(meter::captions(meter::kTriggerSources));
    Trigger->setCurrentIndex(meter::kTriggerStart);
    Display->appendEntries(meter::captions(meter::kDisplayModes));
    Display->setCurrentIndex(meter::kDisplayStart);
    RangeType->appendEntries(meter::captions(meter::kRangeTypes));
    RangeType->setCurrentIndex(meter::kRangeTypeStart);
    Rate->appendEntries(meter::captions(meter::kRates));
    RefMethod->appendEntries(meter::kRefMethodItems);
}

// Each COM entry's tool tip names the device it maps to now.
void Main::refreshPortTips() {
    const QStringList devices = opener_.describe(ComPort->count());
    for (int i = 0; i < ComPort->count(); ++i) {
        ComPort->setItemData(i, link::portDescription(i + 1, devices.value(i)), Qt::ToolTipRole);
    }
}

// Window utilities.

void Main::WaitSeconds(double seconds) {
    shell::waitSeconds(clock_, seconds, [this] { return ending_; });
}

// A network port makes its connection while events run, like any wait of
// the window, for at most the link's limit.
void Main::AwaitConnection() {
    link::awaitConnection(*MSComm1, clock_, [this] { return ending_; });
}

void Main::BeginBusy() {
    shell::beginBusy(this);
}

void Main::EndBusy() {
    shell::endBusy(this);
}

void Main::ClearRangeList(qint16 count) {
    Range->removeFromEnd(count, QStringLiteral("Select Range"));
}

void Main::ClearSecondaryList(qint16 count) {
    FuncBoxTwo->removeFromEnd(count, QStringLiteral("Select Function"));
}

int Main::SendCommand(const QString& text) {
    const int error = MSComm1->write(link::framing::commandLine(text, tchar));
    if (error != link::kNoError) {
        StatusBox->setText(
            QStringLiteral("Command \"%1\" not sent: %2").arg(text, MSComm1->lastError()));
    }
    return error;
}

// Connection.

void Main::ConnectBtn_Click() {
    InstrID->setText(QStringLiteral("Connecting...please wait..."));
    // Readings can follow from here on: the Trend window that keeps them is
    // made now, not on the first reading.
    trendWindow();
    if (ComPort->currentIndex() >= 0) {
        portString = ComPort->itemText(ComPort->currentIndex());
    }
    if (BaudRate->currentIndex() >= 0) {
        baudString = BaudRate->itemText(BaudRate->currentIndex());
    }
    if (const int t = TermChar->currentIndex(); t >= 0 && t < int(meter::kTermChars.size())) {
        tchar = fromLatin1View(meter::kTermChars[t].word);
    }

    // Every failure from here on ends the attempt with its error number.
    const int error = OpenAndIdentify();

    if (error != link::kNoError) {
        // A failed attempt never leaves the window busy.
        EndBusy();
    }
    ReportConnectionError(error);
}

// Connect's steps from closing an open port to the identified meter: the
// link's error number of the first step that failed, or kNoError.
int Main::OpenAndIdentify() {
    if (MSComm1->isOpen()) {
        MSComm1->close();
    }
    PortOpenStat->setFillColor(shell::kLampRed);
    bool numeric = false;
    const int number = portString.toInt(&numeric);
    if (!numeric) {
        return link::kTypeMismatch;
    }
    MSComm1->setCommPort(number);
    MSComm1->setSettings(baudString + QStringLiteral(",N,8,1"));
    MSComm1->setInputLen(0);
    MSComm1->setRThreshold(1);
    const auto openFailed = [this, number](int e) {
        StatusBox->setText(
            QStringLiteral("Could not open COM%1: %2").arg(number).arg(MSComm1->lastError()));
        return e;
    };
    if (const int e = MSComm1->open(); e != link::kNoError) {
        return openFailed(e);
    }
    if (MSComm1->connecting()) {
        BeginBusy();
        AwaitConnection();
        if (ending_) {
            EndBusy();
            return link::kNoError;
        }
        if (const int e = MSComm1->finishConnect(); e != link::kNoError) {
            return openFailed(e);
        }
    }
    PortOpenStat->setFillColor(shell::kLampGreen);
    if (const int e = SendCommand(QStringLiteral("*IDN?")); e != link::kNoError) {
        return e;
    }
    BeginBusy();
    WaitSeconds(2);
    if (ending_) {
        EndBusy();
        return link::kNoError;
    }
    if (!MSComm1->isOpen()) {
        StatusBox->setText(QStringLiteral("Connection lost while identifying the instrument: %1")
                               .arg(MSComm1->lastError()));
        return link::kPortNotOpen;
    }
    const QString reply = trimSpaces(link::framing::fromWire(MSComm1->readAll()));
    const qsizetype end = tchar.isEmpty() ? -1 : reply.indexOf(tchar);
    if (end < 0) {
        StatusBox->setText(
            reply.isEmpty()
                ? QStringLiteral(
                      "No reply from instrument: check baud rate and termination character")
                : QStringLiteral("Reply from instrument has no termination character: check baud "
                                 "rate and termination character"));
        return link::kNoReply;
    }
    InstrID->clear();
    InstrID->setText(reply.left(end));
    EndBusy();
    StatusBox->setText(QStringLiteral("Ready"));
    SetControlsEnabled({FuncBox, SetFunc, Reset, Send}, true);
    SetControlsEnabled({ComPort, BaudRate, TermChar}, false);
    return link::kNoError;
}

void Main::Close_Click() {
    if (MSComm1->isOpen()) {
        MSComm1->close();
        PortOpenStat->setFillColor(shell::kLampRed);
    }
    SetControlsEnabled({ComPort, BaudRate, TermChar}, true);
    InstrID->setText(QStringLiteral("No Instrument Connected"));
    SetControlsEnabled({FuncBox, SetFunc, Reset, Send}, false);
    SetControlsEnabled(measurementControls(), false);
    for (QLineEdit* box :
         {StatusBox, PrimaryDisplay, SecondaryDisplay, PrimaryUnit, SecondaryUnit}) {
        box->clear();
    }
    if (running_cnt != 0) {
        EndRunForLostPort(QStringLiteral("the port was closed"));
    }
}

void Main::ReportConnectionError(int error) {
    switch (error) {
        case link::kTypeMismatch:
            dialogs_.message(this, QStringLiteral("Please Select a COM port before connecting."),
                             QStringLiteral("Connection Error"), shell::Dialogs::Icon::Exclamation);
            break;
        case link::kPortInUse:
            dialogs_.message(
                this,
                QStringLiteral("The selected COM port is currently in use or is opened "
                               "by another application or user.  Please check to make "
                               "sure port is not in use before connecting."),
                QStringLiteral("Connection Error"), shell::Dialogs::Icon::Exclamation);
            break;
        default:
            break;
    }
}

void Main::MSComm1_PortLost(const QString& reason) {
    PortOpenStat->setFillColor(shell::kLampRed);
    StatusBox->setText(
        QStringLiteral("Connection lost: %1. Check the cable, then press Connect.").arg(reason));
    if (running_cnt != 0 || datalog_start != 0) {
        EndRunForLostPort(QStringLiteral("connection lost: %1").arg(reason));
    }
}

void Main::Exit_Click() {
    if (ending_) {
        return;
    }
    ending_ = true;
    if (MSComm1->isOpen()) {
        MSComm1->close();
    }
    CloseLogFile();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this) {
            w->close();
        }
    }
    hide();
    QCoreApplication::quit();
}

void Main::closeEvent(QCloseEvent* event) {
    Exit_Click();
    event->accept();
}

}  // namespace vx::forms
