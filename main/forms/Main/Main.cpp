#include "forms/Main/Main.h"
#include "shell/Latin1View.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "forms/Main/ControlLists.h"
#include "forms/Trend/Trend.h"
#include "link/Errors.h"
#include "link/Framing.h"
#include "link/NetworkPort.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "log/DataLog.h"
#include "meter/MeterTables.h"
#include "shell/Busy.h"
#include "shell/Clock.h"
#include "shell/Dialogs.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "shell/Wait.h"

namespace {

using vx::shell::fromLatin1View;

// Close Port disables these before the measurement controls.
constexpr std::array<std::string_view, 4> kClosePortDisables{"FuncBox", "SetFunc", "Reset", "Send"};

// Controls a successful Connect enables, in this order, and the connection
// lists it disables.
constexpr std::array<std::string_view, 4> kConnectEnables{"FuncBox", "SetFunc", "Reset", "Send"};
constexpr std::array<std::string_view, 3> kConnectionLists{"ComPort", "BaudRate", "TermChar"};

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

// The menu's Ctrl+letter shortcuts work wherever the focus is: a text box
// would otherwise keep Ctrl+A for selecting its text, and the About window
// could not be opened while the cursor sits in the COM port list.
class MenuKeysFirst final : public QObject {
public:
    MenuKeysFirst(QObject* parent, QList<QAction*> actions)
        : QObject(parent), actions_(std::move(actions)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(key->keyCombination());
            for (const QAction* action : actions_) {
                if (action->isEnabled() && action->shortcut() == pressed) {
                    // Left unaccepted: the shortcut goes to the menu.
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QAction*> actions_;
};

}  // namespace

Main::Main(const MainServices& services, QWidget* parent)
    : QMainWindow(parent),
      clock_(services.clock),
      dialogs_(services.dialogs),
      opener_(services.opener),
      helpFilePath_(services.helpFilePath) {
    MSComm1 = new vx::link::SerialLink(opener_, this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    buildUi();
    createTrend();
    connectSignals();
    Form_Load();
}

Main::~Main() = default;

QWidget* Main::control(std::string_view name) const {
    return controls_.value(fromLatin1View(name));
}

void Main::SetControlsEnabled(std::span<const std::string_view> names, bool enabled) {
    for (std::string_view name : names) {
        if (QWidget* w = control(name)) {
            w->setEnabled(enabled);
            Q_EMIT controlEnabledSet(w->objectName(), enabled);
        }
    }
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
    connect(ComPort, &vx::shell::PromptComboBox::aboutToShowPopup, this, &Main::refreshPortTips);
    connect(MSComm1, &vx::link::SerialLink::dataWaiting, this, &Main::MSComm1_OnComm);
    connect(MSComm1, &vx::link::SerialLink::portLost, this, &Main::MSComm1_PortLost);
    connect(mnuAbout, &QAction::triggered, this, &Main::mnuAbout_Click);
    connect(mnuSeeHelp, &QAction::triggered, this, &Main::mnuSeeHelp_Click);
    connect(mnuTrend, &QAction::triggered, this, &Main::mnuTrend_Click);
    auto* menuKeys = new MenuKeysFirst(this, {mnuAbout, mnuSeeHelp, mnuTrend});
    // An editable list hands its keys to its text box directly, past any
    // filter there: the list needs the filter as well.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr) {
            w->installEventFilter(menuKeys);
        }
    }
    connectConsole();
}

void Main::Form_Load() {
    // The COM entries' tool tips are filled when the list first drops down,
    // not here: mapping them takes a look at every tty the system has, which
    // would hold up the window's start.
    ComPort->appendEntries(vx::meter::kComPortItems);
    BaudRate->appendEntries(vx::meter::kBaudRateItems);
    BaudRate->setCurrentIndex(vx::meter::kBaudRateStart);
    TermChar->appendEntries(vx::meter::kTermCharItems);
    TermChar->setCurrentIndex(vx::meter::kTermCharStart);
    std::array<std::string_view, vx::meter::kFunctions.size()> functionItems{};
    for (std::size_t i = 0; i < vx::meter::kFunctions.size(); ++i) {
        functionItems[i] = vx::meter::kFunctions[i].item;
    }
    FuncBox->appendEntries(functionItems);
    FuncBox->setCurrentIndex(vx::meter::kFunctionStart);
    Trigger->appendEntries(vx::meter::kTriggerItems);
    Trigger->setCurrentIndex(vx::meter::kTriggerStart);
    Display->appendEntries(vx::meter::kDisplayItems);
    Display->setCurrentIndex(vx::meter::kDisplayStart);
    RangeType->appendEntries(vx::meter::kRangeTypeItems);
    RangeType->setCurrentIndex(vx::meter::kRangeTypeStart);
    Rate->appendEntries(vx::meter::kRateItems);
    RefMethod->appendEntries(vx::meter::kRefMethodItems);
}

// Each COM entry's tool tip names the device it maps to now.
void Main::refreshPortTips() {
    const QStringList devices = opener_.describe(ComPort->count());
    for (int i = 0; i < ComPort->count(); ++i) {
        ComPort->setItemData(i, vx::link::portDescription(i + 1, devices.value(i)),
                             Qt::ToolTipRole);
    }
}

// Window utilities.

void Main::WaitSeconds(double seconds) {
    vx::shell::waitSeconds(clock_, seconds, [this] { return ending_; });
}

// A network port makes its connection while events run, like any wait of
// the window, for at most the link's limit. The passes start at 1 ms and
// double up to 64 ms: a connection on the local network is seen within a few
// milliseconds, and a slow one costs a few dozen wake-ups, not a busy loop.
void Main::AwaitConnection() {
    constexpr qint64 kLongestPassMs = 64;
    const QDateTime limit = clock_.now().addMSecs(vx::link::kConnectLimit.count());
    qint64 pass = 1;
    for (QDateTime now = clock_.now(); MSComm1->connecting() && !ending_ && now < limit;
         now = clock_.now()) {
        clock_.runEventsFor(std::min(pass, now.msecsTo(limit)));
        pass = std::min(pass * 2, kLongestPassMs);
    }
}

void Main::BeginBusy() {
    vx::shell::beginBusy(this);
}

void Main::EndBusy() {
    vx::shell::endBusy(this);
}

void Main::ClearRangeList(qint16 count) {
    Range->removeFromEnd(count, QStringLiteral("Select Range"));
}

void Main::ClearSecondaryList(qint16 count) {
    FuncBoxTwo->removeFromEnd(count, QStringLiteral("Select Function"));
}

int Main::SendCommand(const QString& text) {
    const int error = MSComm1->write(vx::link::framing::commandLine(text, tchar));
    if (error != vx::link::kNoError) {
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
    if (const int t = TermChar->currentIndex(); t >= 0 && t < int(vx::meter::kTermChars.size())) {
        tchar = fromLatin1View(vx::meter::kTermChars[t]);
    }

    // Every failure from here on ends the attempt with its error number.
    const int error = [this]() -> int {
        if (MSComm1->isOpen()) {
            MSComm1->close();
        }
        PortOpenStat->setFillColor(vx::shell::kLampRed);
        bool numeric = false;
        const int number = portString.toInt(&numeric);
        if (!numeric) {
            return vx::link::kTypeMismatch;
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
        if (const int e = MSComm1->open(); e != vx::link::kNoError) {
            return openFailed(e);
        }
        if (MSComm1->connecting()) {
            BeginBusy();
            AwaitConnection();
            if (ending_) {
                EndBusy();
                return vx::link::kNoError;
            }
            if (const int e = MSComm1->finishConnect(); e != vx::link::kNoError) {
                return openFailed(e);
            }
        }
        PortOpenStat->setFillColor(vx::shell::kLampGreen);
        if (const int e = SendCommand(QStringLiteral("*IDN?")); e != vx::link::kNoError) {
            return e;
        }
        BeginBusy();
        WaitSeconds(2);
        if (ending_) {
            EndBusy();
            return vx::link::kNoError;
        }
        if (!MSComm1->isOpen()) {
            StatusBox->setText(
                QStringLiteral("Connection lost while identifying the instrument: %1")
                    .arg(MSComm1->lastError()));
            return vx::link::kPortNotOpen;
        }
        const QString reply = trimSpaces(vx::link::framing::fromWire(MSComm1->readAll()));
        const qsizetype end = tchar.isEmpty() ? -1 : reply.indexOf(tchar);
        if (end < 0) {
            StatusBox->setText(
                reply.isEmpty()
                    ? QStringLiteral(
                          "No reply from instrument: check baud rate and termination character")
                    : QStringLiteral(
                          "Reply from instrument has no termination character: check baud "
                          "rate and termination character"));
            return vx::link::kNoReply;
        }
        InstrID->clear();
        InstrID->setText(reply.left(end));
        EndBusy();
        StatusBox->setText(QStringLiteral("Ready"));
        SetControlsEnabled(kConnectEnables, true);
        SetControlsEnabled(kConnectionLists, false);
        return vx::link::kNoError;
    }();

    if (error != vx::link::kNoError) {
        // A failed attempt never leaves the window busy.
        EndBusy();
    }
    ReportConnectionError(error);
}

void Main::Close_Click() {
    if (MSComm1->isOpen()) {
        MSComm1->close();
        PortOpenStat->setFillColor(vx::shell::kLampRed);
    }
    SetControlsEnabled(kConnectionLists, true);
    InstrID->setText(QStringLiteral("No Instrument Connected"));
    SetControlsEnabled(kClosePortDisables, false);
    SetControlsEnabled(vx::meter::kMeasurementControls, false);
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
        case vx::link::kTypeMismatch:
            dialogs_.message(this, QStringLiteral("Please Select a COM port before connecting."),
                             QStringLiteral("Connection Error"),
                             vx::shell::Dialogs::Icon::Exclamation);
            break;
        case vx::link::kPortInUse:
            dialogs_.message(
                this,
                QStringLiteral("The selected COM port is currently in use or is opened "
                               "by another application or user.  Please check to make "
                               "sure port is not in use before connecting."),
                QStringLiteral("Connection Error"), vx::shell::Dialogs::Icon::Exclamation);
            break;
        default:
            break;
    }
}

void Main::MSComm1_PortLost(const QString& reason) {
    PortOpenStat->setFillColor(vx::shell::kLampRed);
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
