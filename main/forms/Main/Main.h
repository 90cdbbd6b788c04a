#pragma once

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "meter/Reading.h"
#include "shell/ConsoleHistory.h"

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;

class About;
class DataLog;
class Help;
class Trend;

namespace vx::shell {
class Clock;
class Dialogs;
class PromptComboBox;
class StatusLamp;
}  // namespace vx::shell

namespace vx::link {
class PortOpener;
class SerialLink;
}  // namespace vx::link

// What the main window needs from the platform: the clock every wait runs
// on, the message boxes and save dialog, and the serial ports.
struct MainServices {
    vx::shell::Clock& clock;
    vx::shell::Dialogs& dialogs;
    vx::link::PortOpener& opener;
    QString helpFilePath;  // Help.mhf; empty: beside the program
};

// The program's working window: every control through which the operator
// drives the meter, the serial-port control, and the state the handlers
// share. Each control event is one handler named after the control and the
// event.
class Main : public QMainWindow {
    Q_OBJECT
public:
    explicit Main(const MainServices& services, QWidget* parent = nullptr);
    ~Main() override;

    // Controls, by their names on the window.
    vx::shell::PromptComboBox* ComPort = nullptr;
    vx::shell::PromptComboBox* BaudRate = nullptr;
    vx::shell::PromptComboBox* TermChar = nullptr;
    QPushButton* ConnectBtn = nullptr;
    QPushButton* Close = nullptr;
    vx::shell::StatusLamp* PortOpenStat = nullptr;
    QLineEdit* InstrID = nullptr;

    vx::shell::PromptComboBox* FuncBox = nullptr;
    QPushButton* SetFunc = nullptr;
    vx::shell::PromptComboBox* FuncBoxTwo = nullptr;
    QPushButton* SetFuncTwo = nullptr;
    QPushButton* FuncBoxTwoStateOn = nullptr;
    QPushButton* FuncBoxTwoStateOff = nullptr;
    vx::shell::StatusLamp* FuncTwoStat = nullptr;

    QLineEdit* PrimaryDisplay = nullptr;
    QLineEdit* PrimaryUnit = nullptr;
    QLineEdit* SecondaryDisplay = nullptr;
    QLineEdit* SecondaryUnit = nullptr;

    vx::shell::PromptComboBox* RangeType = nullptr;
    QPushButton* SetRangeType = nullptr;
    vx::shell::PromptComboBox* Range = nullptr;
    QPushButton* SetRange = nullptr;
    vx::shell::PromptComboBox* Rate = nullptr;
    QPushButton* SetRate = nullptr;
    vx::shell::PromptComboBox* Trigger = nullptr;
    QPushButton* SetTrig = nullptr;
    QPushButton* SendTrig = nullptr;
    vx::shell::PromptComboBox* Display = nullptr;
    QPushButton* SetDisp = nullptr;
    QPushButton* Hold = nullptr;
    vx::shell::StatusLamp* HoldStat = nullptr;

    QPushButton* RefStateOn = nullptr;
    QPushButton* RefStateOff = nullptr;
    vx::shell::StatusLamp* RefStat = nullptr;
    vx::shell::PromptComboBox* RefMethod = nullptr;
    QPushButton* SetRefMethod = nullptr;
    QPushButton* AcqRef = nullptr;
    QLineEdit* Ref = nullptr;
    QPushButton* SetRef = nullptr;

    QPushButton* SingleRead = nullptr;
    QPushButton* Run = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* SaveData = nullptr;
    QPushButton* EndLog = nullptr;
    QLineEdit* FilePath = nullptr;
    QLineEdit* StatusBox = nullptr;
    QLineEdit* SendMsg = nullptr;
    QPushButton* Send = nullptr;
    QLineEdit* ReturnMsg = nullptr;
    QPushButton* Reset = nullptr;
    QPushButton* Exit = nullptr;

    QMenu* mnuView = nullptr;
    QAction* mnuTrend = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuSeeHelp = nullptr;

    // The serial-port control.
    vx::link::SerialLink* MSComm1 = nullptr;

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

    // Connection.
    void ConnectBtn_Click();
    void Close_Click();
    void ReportConnectionError(int error);
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
    void WriteLogLine(const QString& reply);

    // Menus.
    void mnuAbout_Click();
    void mnuSeeHelp_Click();
    void mnuTrend_Click();

    // Writes `text` and the terminator as one command line. Returns 0 or the
    // link's error number; on failure the status line says what was not sent.
    int SendCommand(const QString& text);

    // Enables or disables the controls, in the order given.
    void SetControlsEnabled(std::initializer_list<QWidget*> controls, bool enabled);
    void SetControlsEnabled(std::span<QWidget* const> controls, bool enabled);
    // The measurement, logging and reading controls. Close Port and the reset
    // both disable them, after their own first few.
    std::array<QWidget*, 28> measurementControls() const;
    QWidget* control(std::string_view name) const;

    vx::shell::Clock& clock() const { return clock_; }
    vx::shell::Dialogs& dialogs() const { return dialogs_; }
    bool isEnding() const { return ending_; }
    Trend* trendWindow() const;
    About* aboutWindow() const;
    Help* helpWindow() const;

Q_SIGNALS:
    // A reply was shown in the display boxes (single or continuous reading):
    // the whole reply, and the reading it was shown as.
    void readingShown(const QDateTime& when, const QString& reply,
                      const vx::meter::Reading& reading);
    // SetControlsEnabled switched the named control. Also sent while the
    // window is busy, when the control itself sees no change until EndBusy.
    void controlEnabledSet(const QString& name, bool enabled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void connectSignals();
    void refreshPortTips();
    // Connect's steps from closing an open port to the identified meter.
    int OpenAndIdentify();
    void connectConsole();
    void createTrend();
    void MSComm1_PortLost(const QString& reason);
    // The port went away while readings or a log were running: end them.
    void EndRunForLostPort(const QString& why);
    void EnableStopControls();
    void CloseLogFile();

    vx::shell::Clock& clock_;
    vx::shell::Dialogs& dialogs_;
    vx::link::PortOpener& opener_;
    QString helpFilePath_;
    QHash<QString, QWidget*> controls_;
    std::unique_ptr<DataLog> log_;
    vx::shell::ConsoleHistory consoleHistory_;
    bool ending_ = false;
    QPointer<About> about_;
    QPointer<Help> help_;
    mutable std::unique_ptr<Trend> trend_;  // made on first use
};
