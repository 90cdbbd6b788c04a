// Builds the main window's controls, frames and labels in their start state:
// captions, prompt texts, tool tips, colours and fonts. Which controls start
// enabled is part of this state; the handlers change it later.

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"

namespace {

// Colour value 14737632: light grey.
const QColor kBackground(0xE0, 0xE0, 0xE0);

QGroupBox* frame(const QString& title, QWidget* parent) {
    return new QGroupBox(title, parent);
}

QLabel* label(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

}  // namespace

void Main::buildUi() {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("VX260 & VX480 Multimeter Software"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::Button, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
    // Each frame of the window drawn as a titled box, so the groups read at a
    // glance. A style sheet takes the palette's Button colour away from the
    // buttons below it, and the platform style would shade their faces anyway:
    // the sheet paints the faces flat in the window's light grey itself.
    setStyleSheet(
        QStringLiteral(
            "QGroupBox { border: 1px solid #a8a8a8; border-radius: 4px; margin-top: 1.4ex;"
            " padding-top: 0.6ex; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px;"
            " font-weight: bold; }"
            "QFrame#Readings { border: 1px solid #a8a8a8; border-radius: 4px; }"
            "QWidget#centralWidget QPushButton { background-color: %1; border: 1px solid #8a8a8a;"
            " border-radius: 3px; padding: 3px 10px; }"
            "QWidget#centralWidget QPushButton:hover { border-color: #505050; }"
            "QWidget#centralWidget QPushButton:focus { border-color: #2f6fbf; }"
            "QWidget#centralWidget QPushButton:pressed { background-color: #c8c8c8; }"
            "QWidget#centralWidget QPushButton:disabled { border-color: #b4b4b4; }")
            .arg(kBackground.name()));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);

    auto add = [this](QWidget* w, const char* name, const QString& tip, bool enabled) {
        w->setObjectName(QLatin1String(name));
        if (!tip.isEmpty()) {
            w->setToolTip(tip);
        }
        w->setEnabled(enabled);
        controls_.insert(QLatin1String(name), w);
        return w;
    };
    auto button = [&](const char* name, const QString& caption, const QString& tip, bool enabled) {
        auto* b = new QPushButton(caption, central);
        b->setAutoDefault(false);
        add(b, name, tip, enabled);
        return b;
    };
    auto list = [&](const char* name, const QString& prompt, const QString& tip, bool enabled) {
        auto* c = new vx::shell::PromptComboBox(central);
        c->showPrompt(prompt);
        add(c, name, tip, enabled);
        return c;
    };
    auto text = [&](const char* name, const QString& start, const QString& tip, bool enabled) {
        auto* t = new QLineEdit(start, central);
        add(t, name, tip, enabled);
        return t;
    };
    auto lamp = [&](const char* name, vx::shell::StatusLamp::Shape shape) {
        auto* l = new vx::shell::StatusLamp(shape, central);
        add(l, name, QString(), true);
        return l;
    };
    // `widest` is the longest text the box must show whole.
    auto display = [&](const char* name, int points, const QString& widest) {
        auto* t = text(name, QString(), QString(), true);
        t->setReadOnly(true);
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(points);
        t->setFont(f);
        t->setMinimumWidth(QFontMetrics(f).horizontalAdvance(widest) + 16);
        QPalette p = t->palette();
        p.setColor(QPalette::Base, Qt::black);
        p.setColor(QPalette::Text, QColor(0, 255, 0));
        t->setPalette(p);
        t->setFocusPolicy(Qt::ClickFocus);
        return t;
    };

    // Connection Settings.
    ComPort = list("ComPort", QStringLiteral("Select Port"),
                   QStringLiteral("Choose a COM Port before connecting."), true);
    BaudRate =
        list("BaudRate", QString(),
             QStringLiteral("Select Baud Rate that matches the instrument's settings"), true);
    TermChar =
        list("TermChar", QString(),
             QStringLiteral("Select termination character configured inside instrument"), true);
    ConnectBtn = button("ConnectBtn", QStringLiteral("Connect"),
                        QStringLiteral("Click to connect to selected COM Port"), true);
    Close = button("Close", QStringLiteral("Close Port"), QStringLiteral("Close COM port"), true);
    PortOpenStat = lamp("PortOpenStat", vx::shell::StatusLamp::Shape::Circle);
    InstrID = text("InstrID", QString(), QString(), true);
    {
        QPalette p = InstrID->palette();
        p.setColor(QPalette::Base, Qt::white);
        InstrID->setPalette(p);
    }

    // Setup Display Functions.
    FuncBox = list("FuncBox", QString(), QStringLiteral("Select primary display function"), false);
    SetFunc = button("SetFunc", QStringLiteral("Set"),
                     QStringLiteral("Set selected primary display function"), false);
    FuncBoxTwo = list("FuncBoxTwo", QStringLiteral("Select Function"),
                      QStringLiteral("Select secondary display function"), false);
    SetFuncTwo = button("SetFuncTwo", QStringLiteral("Set"),
                        QStringLiteral("Set selected secondary display function"), false);
    FuncBoxTwoStateOn = button("FuncBoxTwoStateOn", QStringLiteral("ON"),
                               QStringLiteral("Turn on secondary display"), false);
    FuncBoxTwoStateOff = button("FuncBoxTwoStateOff", QStringLiteral("OFF"),
                                QStringLiteral("Turn off secondary display"), false);
    FuncTwoStat = lamp("FuncTwoStat", vx::shell::StatusLamp::Shape::Rectangle);

    // Readings.
    const QString reading = QStringLiteral("-8.88888E+88");
    const QString unit = QStringLiteral("AAC");
    PrimaryDisplay = display("PrimaryDisplay", 30, reading);
    PrimaryUnit = display("PrimaryUnit", 24, unit);
    SecondaryDisplay = display("SecondaryDisplay", 30, reading);
    SecondaryUnit = display("SecondaryUnit", 24, unit);

    // Range, rate, trigger, display, hold.
    RangeType =
        list("RangeType", QStringLiteral("RangeType"), QStringLiteral("Select range type"), false);
    SetRangeType = button("SetRangeType", QStringLiteral("Set"),
                          QStringLiteral("Set selected range type"), false);
    Range = list("Range", QStringLiteral("Select Range"), QStringLiteral("Select range"), false);
    SetRange =
        button("SetRange", QStringLiteral("Set"), QStringLiteral("Set selected range"), false);
    Rate = list("Rate", QStringLiteral("Rate"), QStringLiteral("Select measurement rate"), false);
    SetRate = button("SetRate", QStringLiteral("Set"),
                     QStringLiteral("Set selected measurement rate"), false);
    Trigger = list("Trigger", QString(), QStringLiteral("Select trigger type"), false);
    SetTrig = button("SetTrig", QStringLiteral("Set"), QStringLiteral("Set selected trigger type"),
                     false);
    SendTrig = button("SendTrig", QStringLiteral("Click to Trigger"),
                      QStringLiteral("Click to send trigger"), false);
    Display = list("Display", QString(), QStringLiteral("Select display mode"), false);
    SetDisp =
        button("SetDisp", QStringLiteral("Set"), QStringLiteral("Sets the display mode"), false);
    Hold = button("Hold", QStringLiteral("Click to HOLD"),
                  QStringLiteral("Holds reading of the multimeter display"), false);
    HoldStat = lamp("HoldStat", vx::shell::StatusLamp::Shape::RoundedSquare);

    // Reference mode.
    RefStateOn =
        button("RefStateOn", QStringLiteral("ON"), QStringLiteral("Turn on reference mode"), false);
    RefStateOff = button("RefStateOff", QStringLiteral("OFF"),
                         QStringLiteral("Turn off reference mode"), false);
    RefStat = lamp("RefStat", vx::shell::StatusLamp::Shape::RoundedSquare);
    RefMethod = list("RefMethod", QStringLiteral("Reference Method"),
                     QStringLiteral("Select reference mode"), false);
    SetRefMethod = button("SetRefMethod", QStringLiteral("Set"),
                          QStringLiteral("Set selected reference mode"), false);
    AcqRef = button("AcqRef", QStringLiteral("Reference Set from Input"),
                    QStringLiteral("Set reference based on inputs"), false);
    Ref = text("Ref", QStringLiteral("Text1"), QString(), false);
    SetRef = button("SetRef", QStringLiteral("Set"),
                    QStringLiteral("Set customized reference value"), false);

    // Reading and logging.
    SingleRead = button("SingleRead", QStringLiteral("Single Read"),
                        QStringLiteral("One time read of the measured readings on display"), false);
    Run = button("Run", QStringLiteral("Run"),
                 QStringLiteral("Run to continuously display meter display readings"), false);
    StopBtn = button("StopBtn", QStringLiteral("Stop"),
                     QStringLiteral("Stop continuously reading meter display readings"), false);
    SaveData = button("SaveData", QStringLiteral("Log and Save Data"),
                      QStringLiteral("Click to begin logging and saving data"), false);
    EndLog =
        button("EndLog", QStringLiteral("Stop Log"), QStringLiteral("Stop logging process"), false);
    FilePath = text("FilePath", QStringLiteral("Data File Path..."),
                    QStringLiteral("Location of where data is stored"), true);
    FilePath->setReadOnly(true);
    StatusBox = text("StatusBox", QString(), QString(), true);

    // Console.
    SendMsg = text("SendMsg", QString(), QStringLiteral("Input SCPI command to send"), true);
    Send = button("Send", QStringLiteral("Send"),
                  QStringLiteral("Send the entered SCPI command to instrument"), false);
    ReturnMsg =
        text("ReturnMsg", QString(), QStringLiteral("Returned data from query commands"), true);

    Reset = button("Reset", QStringLiteral("Reset Instrument"),
                   QStringLiteral("Reset instrument to default"), false);
    Exit = button("Exit", QStringLiteral("Exit"), QStringLiteral("Exit application"), true);

    // Layout: three columns of frames, the console across the bottom.
    auto* connection = frame(QStringLiteral("Connection Settings"), central);
    connection->setObjectName(QStringLiteral("Frame1"));
    {
        auto* g = new QGridLayout(connection);
        g->addWidget(label(QStringLiteral("COM Port"), connection), 0, 0);
        g->addWidget(ComPort, 0, 1);
        g->addWidget(label(QStringLiteral("Baud Rate"), connection), 1, 0);
        g->addWidget(BaudRate, 1, 1);
        g->addWidget(label(QStringLiteral("Termination Character"), connection), 2, 0);
        g->addWidget(TermChar, 2, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(ConnectBtn);
        buttons->addWidget(Close);
        g->addLayout(buttons, 3, 0, 1, 2);
        auto* status = new QHBoxLayout;
        auto* portStatus = label(QStringLiteral("Port Status"), connection);
        portStatus->setObjectName(QStringLiteral("PortStatus"));
        status->addWidget(portStatus);
        status->addWidget(PortOpenStat);
        status->addStretch();
        g->addLayout(status, 4, 0, 1, 2);
        g->addWidget(InstrID, 5, 0, 1, 2);
    }

    auto* functions = frame(QStringLiteral("Setup Display Functions"), central);
    {
        auto* g = new QGridLayout(functions);
        g->addWidget(label(QStringLiteral("Primary Display"), functions), 0, 0, 1, 2);
        g->addWidget(FuncBox, 1, 0);
        g->addWidget(SetFunc, 1, 1);
        g->addWidget(label(QStringLiteral("Secondary Display"), functions), 2, 0, 1, 2);
        g->addWidget(FuncBoxTwo, 3, 0);
        g->addWidget(SetFuncTwo, 3, 1);
        g->addWidget(label(QStringLiteral("Secondary Display Status"), functions), 4, 0, 1, 2);
        auto* row = new QHBoxLayout;
        row->addWidget(FuncTwoStat);
        row->addWidget(FuncBoxTwoStateOn);
        row->addWidget(FuncBoxTwoStateOff);
        g->addLayout(row, 5, 0, 1, 2);
    }

    auto* range = frame(QStringLiteral("Range Selection"), central);
    {
        auto* g = new QGridLayout(range);
        g->addWidget(label(QStringLiteral("Range Type"), range), 0, 0);
        g->addWidget(RangeType, 0, 1);
        g->addWidget(SetRangeType, 0, 2);
        g->addWidget(label(QStringLiteral("Select Range"), range), 1, 0);
        g->addWidget(Range, 1, 1);
        g->addWidget(SetRange, 1, 2);
    }

    auto* readings = new QFrame(central);
    readings->setObjectName(QStringLiteral("Readings"));
    readings->setFrameShape(QFrame::StyledPanel);
    {
        auto* g = new QGridLayout(readings);
        g->addWidget(PrimaryDisplay, 0, 0);
        g->addWidget(PrimaryUnit, 0, 1);
        g->addWidget(SecondaryDisplay, 1, 0);
        g->addWidget(SecondaryUnit, 1, 1);
        g->setColumnStretch(0, 4);
        g->setColumnStretch(1, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(SingleRead);
        buttons->addWidget(Run);
        buttons->addWidget(StopBtn);
        g->addLayout(buttons, 2, 0, 1, 2);
        g->addWidget(StatusBox, 3, 0, 1, 2);
    }

    auto* logging = frame(QStringLiteral("Log and Save Data"), central);
    {
        auto* g = new QGridLayout(logging);
        g->addWidget(SaveData, 0, 0);
        g->addWidget(EndLog, 0, 1);
        g->addWidget(label(QStringLiteral("Data will be logged and saved to :"), logging), 1, 0, 1,
                     2);
        g->addWidget(FilePath, 2, 0, 1, 2);
    }

    auto* rate = frame(QStringLiteral("Measurement Rate"), central);
    {
        auto* g = new QGridLayout(rate);
        g->addWidget(label(QStringLiteral("Select Rate"), rate), 0, 0);
        g->addWidget(Rate, 0, 1);
        g->addWidget(SetRate, 0, 2);
    }

    auto* trigger = frame(QStringLiteral("Trigger Setup"), central);
    {
        auto* g = new QGridLayout(trigger);
        g->addWidget(label(QStringLiteral("Select Trigger Type"), trigger), 0, 0);
        g->addWidget(Trigger, 0, 1);
        g->addWidget(SetTrig, 0, 2);
        g->addWidget(SendTrig, 1, 0, 1, 3);
    }

    auto* panel = frame(QStringLiteral("Front Panel Display"), central);
    {
        auto* g = new QHBoxLayout(panel);
        g->addWidget(Display, 1);
        g->addWidget(SetDisp);
    }

    auto* hold = frame(QStringLiteral("Data Hold Status"), central);
    {
        auto* g = new QHBoxLayout(hold);
        g->addWidget(HoldStat);
        g->addWidget(Hold, 1);
    }

    auto* reference = frame(QStringLiteral("Configure Reference Mode"), central);
    {
        auto* g = new QGridLayout(reference);
        g->addWidget(label(QStringLiteral("Status"), reference), 0, 0);
        auto* row = new QHBoxLayout;
        row->addWidget(RefStat);
        row->addWidget(RefStateOn);
        row->addWidget(RefStateOff);
        g->addLayout(row, 0, 1, 1, 2);
        g->addWidget(label(QStringLiteral("Select Mode"), reference), 1, 0);
        g->addWidget(RefMethod, 1, 1);
        g->addWidget(SetRefMethod, 1, 2);
        g->addWidget(AcqRef, 2, 0, 1, 3);
        g->addWidget(label(QStringLiteral("Set Reference Value"), reference), 3, 0);
        g->addWidget(Ref, 3, 1);
        g->addWidget(SetRef, 3, 2);
    }

    auto* console = frame(QStringLiteral("Send Command Strings to Instrument"), central);
    {
        auto* g = new QGridLayout(console);
        g->addWidget(label(QStringLiteral("Send Command Strings to Instrument"), console), 0, 0);
        g->addWidget(SendMsg, 1, 0);
        g->addWidget(Send, 1, 1);
        g->addWidget(label(QStringLiteral("Returned Strings from Instrument"), console), 2, 0);
        g->addWidget(ReturnMsg, 3, 0, 1, 2);
    }

    auto* left = new QVBoxLayout;
    left->addWidget(connection);
    left->addWidget(functions);
    left->addWidget(range);
    left->addStretch();

    auto* middle = new QVBoxLayout;
    middle->addWidget(readings);
    middle->addWidget(logging);
    middle->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(rate);
    right->addWidget(trigger);
    right->addWidget(panel);
    right->addWidget(hold);
    right->addWidget(reference);
    right->addStretch();

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(middle, 5);
    columns->addLayout(right, 3);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(console, 1);
    auto* endButtons = new QVBoxLayout;
    endButtons->addStretch();
    endButtons->addWidget(Reset);
    endButtons->addWidget(Exit);
    bottom->addLayout(endButtons);

    auto* outer = new QVBoxLayout(central);
    outer->addLayout(columns);
    outer->addLayout(bottom);

    // Menus: View before Help.
    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuTrend = mnuView->addAction(QStringLiteral("&Trend"));
    mnuTrend->setObjectName(QStringLiteral("mnuTrend"));
    mnuTrend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    mnuAbout->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuSeeHelp = mnuHelp->addAction(QStringLiteral("&See Help"));
    mnuSeeHelp->setObjectName(QStringLiteral("mnuSeeHelp"));
    mnuSeeHelp->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
}
