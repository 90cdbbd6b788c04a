#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <initializer_list>
#include <memory>
#include <span>

#include "meter/Reading.h"
#include "shell/ConsoleHistory.h"
#include "ui_Main.h"

class MainState;  // the tests' view of the window

namespace vx::log {
class DataLog;
}  // namespace vx::log

namespace vx::timing {
class Clock;
}
namespace vx::shell {
class Dialogs;
}  // namespace vx::shell

namespace vx::link {
class PortOpener;
class SerialLink;
}  // namespace vx::link

namespace vx::forms {

class About;
class Help;
class Trend;

// What the main window needs from the platform: the clock every wait runs
// on, the message boxes and save dialog, and the serial ports.
struct MainServices {
    timing::Clock& clock;
    shell::Dialogs& dialogs;
    link::PortOpener& opener;
    QString helpFilePath;  // Help.mhf; empty: beside the program
};

// The program's working window: every control through which the operator
// drives the meter, the serial-port control, and the state the handlers
// share. Each control event is one handler named after the control and the
// event. The controls come from the form Main.ui, by their names on the
// window.
class Main : public QMainWindow, private Ui::MainForm {
    Q_OBJECT
public:
    explicit Main(const MainServices& services, QWidget* parent = nullptr);
    ~Main() override;

Q_SIGNALS:
    // A reply was shown in the display boxes (single or continuous reading):
    // the whole reply, and the reading it was shown as.
    void readingShown(const QDateTime& when, const QString& reply, const meter::Reading& reading);
    // SetControlsEnabled switched the named control. Also sent while the
    // window is busy, when the control itself sees no change until EndBusy.
    void controlEnabledSet(const QString& name, bool enabled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The tests' view of the state below.
    friend class ::MainState;

    // The serial-port control.
    link::SerialLink* MSComm1 = nullptr;

    // State shared by the handlers; all start at zero or the empty text.
    QString func;
    QString tchar;
    qint16 running_cnt = 0;
    qint16 single_read = 0;
    qint16 SendScpi = 0;
    qint16 datalog_start = 0;
    QString FileToSave;
    QString func_selection;
    QString secondfunc_selection;
    QString portString;
    QString baudString;

    // Reply texts of the receive handler, kept between receive events.
    QString runBuffer;
    QString consoleBuffer;
    QString singleBuffer;

    // Window utilities.
    void WaitSeconds(double seconds);
    void AwaitConnection();
    void BeginBusy();
    void EndBusy();
    void ClearRangeList(qint16 count);
    void ClearSecondaryList(qint16 count);

    void Form_Load();

private Q_SLOTS:
    // Connection.
    void ConnectBtn_Click();
    void Close_Click();
    void Exit_Click();

    // Measurement configuration.
    void SetFunc_Click();
    void FuncBoxTwoStateOn_Click();
    void FuncBoxTwoStateOff_Click();
    void SetFuncTwo_Click();
    void SetRange_Click();
    void SetRangeType_Click();
    void SetRate_Click();
    void SetTrig_Click();
    void SendTrig_Click();
    void SetDisp_Click();
    void Hold_Click();
    void RefStateOn_Click();
    void RefStateOff_Click();
    void SetRefMethod_Click();
    void AcqRef_Click();
    void SetRef_Click();
    void Reset_Click();

    // Readings, console and logging.
    void SingleRead_Click();
    void Run_Click();
    void StopBtn_Click();
    void MSComm1_OnComm();
    void Send_Click();
    void SaveData_Click();
    void EndLog_Click();

    // Menus.
    void mnuAbout_Click();
    void mnuSeeHelp_Click();
    void mnuTrend_Click();

private:
    void ReportConnectionError(int error);
    void WriteLogLine(const QString& reply);

    // Writes `text` and the terminator as one command line. Returns 0 or the
    // link's error number; on failure the status line says what was not sent.
    int SendCommand(const QString& text);

    // Enables or disables the controls, in the order given.
    void SetControlsEnabled(std::initializer_list<QWidget*> controls, bool enabled);
    void SetControlsEnabled(std::span<QWidget* const> controls, bool enabled);
    // The measurement, logging and reading controls. Close Port and the reset
    // both disable them, after their own first few.
    std::array<QWidget*, 28> measurementControls() const;

    timing::Clock& clock() const { return clock_; }
    shell::Dialogs& dialogs() const { return dialogs_; }
    bool isEnding() const { return ending_; }
    Trend* trendWindow() const;
    About* aboutWindow() const;
    Help* helpWindow() const;

    // Connect's steps from closing an open port to the identified meter.
    int OpenAndIdentify();
    void buildUi();
    void connectSignals();
    void refreshPortTips();
    void connectConsole();
    void createTrend();
    void MSComm1_PortLost(const QString& reason);
    // The port went away while readings or a log were running: end them.
    void EndRunForLostPort(const QString& why);
    void CloseLogFile();
    void EnableStopControls();

    timing::Clock& clock_;
    shell::Dialogs& dialogs_;
    link::PortOpener& opener_;
    QString helpFilePath_;
    std::unique_ptr<log::DataLog> log_;
    shell::ConsoleHistory consoleHistory_;
    bool ending_ = false;
    QPointer<About> about_;
    QPointer<Help> help_;
    mutable std::unique_ptr<Trend> trend_;  // made on first use
};

}  // namespace vx::forms
