// Readings, the command console and the data log.
//
// Every reading is a timed exchange: "FETC?" and the terminator go out, and
// the reply comes back through the receive handler while the sender waits.
// The receive handler serves three requests, each flagged by its own state
// variable and collected in its own buffer, and always in this order:
//
//   A  single reading     single_read   singleBuffer   -> display boxes
//   B  console command    SendScpi      consoleBuffer  -> ReturnMsg
//   C  continuous reading running_cnt   runBuffer      -> display boxes, log
//
// The first active branch of an event takes everything that has arrived; a
// reply is complete once its buffer holds the terminator, and then exactly
// one character (the last) is dropped from it.
#include <QDir>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>

#include <array>
#include <optional>
#include <string_view>

#include "forms/Main/Main.h"
#include "link/Errors.h"
#include "link/Framing.h"
#include "link/SerialLink.h"
#include "log/DataLog.h"
#include "meter/Reading.h"
#include "shell/ConsoleHistory.h"
#include "shell/Dialogs.h"
#include "shell/Latin1View.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "timing/Clock.h"

namespace vx::forms {

namespace {

using shell::fromLatin1View;

constexpr std::string_view kLogFilter =
    "CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*";

// What one receive event made of a branch's buffer.
struct Collected {
    std::optional<QString> reply;  // complete, without its final character
    qsizetype dropped = 0;         // characters thrown away as over-long
};

// Appends the waiting text to `buffer`. A complete reply is handed back (the
// caller empties the buffer once it has shown it); an unterminated one that
// has outgrown the limit is thrown away so the next reply starts clean.
Collected collect(QString& buffer, const QString& incoming, const QString& terminator) {
    buffer += incoming;
    Collected result;
    if (link::framing::replyComplete(buffer, terminator)) {
        result.reply = link::framing::dropLast(buffer);
    } else if (buffer.size() > link::framing::kReplyLimit) {
        result.dropped = buffer.size();
        buffer.clear();
    }
    return result;
}

}  // namespace

// Reading.

void Main::SingleRead_Click() {
    single_read = 1;
    PrimaryDisplay->clear();
    SecondaryDisplay->clear();
    if (SendCommand(QStringLiteral("FETC?")) != link::kNoError) {
        // The query never left: no reply will come to claim the next text.
        single_read = 0;
        return;
    }
    BeginBusy();
    WaitSeconds(2);
    EndBusy();
}

void Main::Run_Click() {
    if (!MSComm1->isOpen()) {
        StatusBox->setText(QStringLiteral("Not connected: press Connect before Run"));
        return;
    }
    SetControlsEnabled({SingleRead, Send, Reset}, false);
    SetControlsEnabled({StopBtn}, true);
    SetControlsEnabled({Run, SetRate, Rate, Trigger, SetTrig, SendTrig}, false);
    running_cnt = 1;
    while (true) {
        if (SendCommand(QStringLiteral("FETC?")) != link::kNoError) {
            EndRunForLostPort(
                QStringLiteral("the query \"FETC?\" was not sent: %1").arg(MSComm1->lastError()));
            return;
        }
        WaitSeconds(1);
        if (running_cnt == 0 || isEnding()) {
            return;
        }
        if (!MSComm1->isOpen()) {
            EndRunForLostPort(QStringLiteral("the port is closed"));
            return;
        }
    }
}

// Stop's enables, in this order.
void Main::EnableStopControls() {
    SetControlsEnabled({SingleRead, SetRate, Rate, Trigger, SetTrig, SendTrig, Reset, Send, Run},
                       true);
}

void Main::StopBtn_Click() {
    EnableStopControls();
    running_cnt = 0;
    datalog_start = 0;
    CloseLogFile();
    StatusBox->clear();
}

void Main::EndRunForLostPort(const QString& why) {
    const bool wasLogging = datalog_start != 0 || (log_ && log_->isOpen());
    running_cnt = 0;
    datalog_start = 0;
    CloseLogFile();
    if (MSComm1->isOpen()) {
        EnableStopControls();
    } else {
        // With the port gone there is nothing to run or stop: both buttons
        // wait for the next Connect and primary-function Set.
        SetControlsEnabled({Run, StopBtn}, false);
    }
    StatusBox->setText(wasLogging ? QStringLiteral("Readings stopped, log file closed: %1").arg(why)
                                  : QStringLiteral("Readings stopped: %1").arg(why));
}

void Main::MSComm1_OnComm() {
    // Each active branch reads the port itself: the first takes everything.
    const auto take = [this](QString& buffer, std::string_view what) -> std::optional<QString> {
        Collected c = collect(buffer, link::framing::fromWire(MSComm1->readAll()), tchar);
        if (c.dropped > 0) {
            StatusBox->setText(
                QStringLiteral("Dropped %1 characters of a %2 reply without the termination "
                               "character; check the termination character")
                    .arg(c.dropped)
                    .arg(fromLatin1View(what)));
        }
        return c.reply;
    };
    const auto show = [this](const QString& reply) {
        const meter::Reading reading = meter::splitReply(reply, FuncTwoStat->isGreen(),
                                                         {.function = func,
                                                          .primaryUnit = PrimaryUnit->text(),
                                                          .secondaryUnit = SecondaryUnit->text()});
        PrimaryDisplay->setText(reading.primary);
        if (reading.secondary) {
            SecondaryDisplay->setText(*reading.secondary);
        }
        Q_EMIT readingShown(clock().now(), reply, reading);
    };

    if (single_read == 1) {
        BeginBusy();
        if (const auto reply = take(singleBuffer, "single reading")) {
            show(*reply);
            singleBuffer.clear();
            single_read = 0;
        }
        EndBusy();
    }
    if (SendScpi == 1) {
        if (const auto reply = take(consoleBuffer, "console")) {
            ReturnMsg->setText(*reply);
            consoleBuffer.clear();
            SendScpi = 0;
        }
    }
    if (running_cnt == 1) {
        if (const auto reply = take(runBuffer, "reading")) {
            show(*reply);
            if (datalog_start == 1) {
                WriteLogLine(*reply);
            }
            runBuffer.clear();
        }
    }
}

// Console.

void Main::Send_Click() {
    const QString text = SendMsg->text();
    if (const std::optional<char32_t> c = link::framing::firstBeyondLatin1(text)) {
        // Refused whole: nothing is sent and the text stays for mending.
        dialogs().message(
            this,
            QStringLiteral("The command was not sent: the character \"%1\" (U+%2) cannot be "
                           "sent to the instrument, which takes only Latin-1 characters.")
                .arg(QString::fromUcs4(&*c, 1),
                     QString::number(static_cast<uint>(*c), 16).toUpper().rightJustified(4, u'0')),
            QStringLiteral("Command Not Sent"), shell::Dialogs::Icon::Exclamation);
        return;
    }
    consoleHistory_.add(text);
    ReturnMsg->clear();
    SendScpi = 1;
    if (SendCommand(text) != link::kNoError) {
        // Nothing went out, so no reply is awaited.
        SendScpi = 0;
    }
}

void Main::connectConsole() {
    connect(SendMsg, &QLineEdit::returnPressed, this, [this] {
        if (Send->isEnabled()) {
            Send_Click();
        }
    });
    shell::walkHistoryWithKeys(SendMsg, consoleHistory_);
}

// Logging.

void Main::SaveData_Click() {
    if (running_cnt == 0) {
        dialogs().message(this,
                          QStringLiteral("Please click the RUN button first before logging data."),
                          QStringLiteral("Run Error"), shell::Dialogs::Icon::Information);
        return;
    }
    if (log_ && log_->isOpen()) {
        dialogs().message(this,
                          QStringLiteral("Data is already being logged to %1.\nPress Stop Log "
                                         "before logging to another file.")
                              .arg(QDir::toNativeSeparators(log_->path())),
                          QStringLiteral("Log and Save Data"), shell::Dialogs::Icon::Information);
        return;
    }
    const shell::SaveFileRequest request{.title = QStringLiteral("Save Data As"),
                                         .filter = fromLatin1View(kLogFilter),
                                         .initialDir = QStringLiteral("C:\\Program Files"),
                                         .fileName = QString()};
    const std::optional<QString> chosen = dialogs().saveFileName(this, request);
    if (!chosen || chosen->isEmpty()) {
        ReportConnectionError(link::kNoError);
        return;
    }
    if (running_cnt == 0) {
        // The run ended (port lost) while the dialog was open.
        dialogs().message(this,
                          QStringLiteral("Readings stopped while the file was being chosen; "
                                         "logging was not started. Press Run, then Log and Save "
                                         "Data again."),
                          QStringLiteral("Run Error"), shell::Dialogs::Icon::Information);
        return;
    }
    if (!log_) {
        log_ = std::make_unique<log::DataLog>();
    }
    const QString path = *chosen;
    const log::DataLog::Start started = log_->start(
        path, log::logHeaderLine(func_selection, secondfunc_selection, FuncTwoStat->isGreen()));
    if (started != log::DataLog::Start::Started) {
        const bool opened = started == log::DataLog::Start::NotWritten;
        dialogs().message(
            this,
            QStringLiteral("The data file %1 could not be %2: %3.\nReadings are not "
                           "being logged.")
                .arg(QDir::toNativeSeparators(path),
                     opened ? QStringLiteral("written") : QStringLiteral("opened"), log_->error()),
            QStringLiteral("Log and Save Data"), shell::Dialogs::Icon::Exclamation);
        if (opened) {
            StatusBox->setText(
                QStringLiteral("Logging not started: %1: %2").arg(path, log_->error()));
        }
        return;
    }
    // Only a file that took its header is shown as the one in use.
    FileToSave = path;
    FilePath->setText(FileToSave);
    datalog_start = 1;
    ReportConnectionError(link::kNoError);
}

void Main::EndLog_Click() {
    datalog_start = 0;
    WaitSeconds(1);
    if (datalog_start != 0) {
        // Logging was started again into a new file during the wait: that
        // file is not the one this Stop Log was for.
        return;
    }
    CloseLogFile();
    StatusBox->setText(QStringLiteral("Ready"));
}

void Main::WriteLogLine(const QString& reply) {
    if (datalog_start != 1) {
        return;
    }
    StatusBox->setText(QStringLiteral("Data Logging in progress..."));
    // On screen the reply stays as received; the line takes no line breaks.
    const QString line = log::logReadingLine(reply, clock().now());
    if (log_ && log_->writeLine(line)) {
        return;
    }
    // Disk full, medium gone: stop logging with everything before intact.
    const QString path = log_ ? log_->path() : FileToSave;
    const QString reason = log_ ? log_->error() : QStringLiteral("no log file is open");
    datalog_start = 0;
    CloseLogFile();
    const QString why = QStringLiteral("Logging stopped: could not write to %1: %2")
                            .arg(QDir::toNativeSeparators(path), reason);
    StatusBox->setText(why);
    // The receive handler never waits: the box comes once it has returned.
    QMetaObject::invokeMethod(
        this,
        [this, why] {
            dialogs().message(this, why + QStringLiteral(".\nThe lines logged before are kept."),
                              QStringLiteral("Log and Save Data"),
                              shell::Dialogs::Icon::Exclamation);
        },
        Qt::QueuedConnection);
}

void Main::CloseLogFile() {
    if (log_) {
        log_->close();
    }
}

}  // namespace vx::forms
