#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace vx::log {

// The one log file of the main window, opened for appending. Every line is
// handed to the operating system before write() returns, so a crash or a
// kill of the program loses no line already written.
//
// File format: single-byte text, each line ended by CR LF. Each start of
// logging appends an empty line and a header line, then one line per reading:
//
//   <empty>
//   DC Voltage(V),Frequency(Hz)
//   +1.50012E+00,+1.00001E+03,14:05:09 09/22/2016
class DataLog {
public:
    DataLog() = default;
    DataLog(const DataLog&) = delete;
    DataLog& operator=(const DataLog&) = delete;
    ~DataLog();

    // Opens `path` for appending (created when missing). False, with the
    // reason in error(), when it cannot be opened or a file is already open.
    bool open(const QString& path);
    bool isOpen() const { return file_.isOpen(); }
    QString path() const { return file_.fileName(); }

    // Writes `line` (single-byte text) and CR LF, and flushes. False, with
    // the reason in error(), when the bytes did not all reach the system;
    // a part of the line that did get written is taken back off the file.
    bool writeLine(const QString& line);

    // Writes the empty separator line and `header`: the start of a block.
    bool writeBlockStart(const QString& header);

    // How starting a block ended.
    enum class Start { Started, NotOpened, NotWritten };

    // Opens `path` (as open()) and starts a block in it. NotWritten when a
    // line did not go in; the file is then closed again. Both failures leave
    // the reason in error().
    Start start(const QString& path, const QString& header);

    // Closes the file; harmless when none is open.
    void close();

    QString error() const { return error_; }

private:
    QFile file_;
    QString error_;
};

// The header line of a block: the primary column title, and the secondary
// one after a comma when the secondary display is on.
QString logHeaderLine(const QString& primary, const QString& secondary, bool secondaryOn);

// One reading line: the reply, a comma, the time stamp. A meter ending its
// lines with CR LF leaves the other half of the pair in the reply; in the
// file it would break the line, so line breaks never reach it.
QString logReadingLine(const QString& reply, const QDateTime& when);

// "hh:mm:ss mm/dd/yyyy", 24-hour clock, ':' and '/' fixed whatever the locale.
QString logTimeStamp(const QDateTime& when);

// `value` (0 or more) as `width` digits, leading zeros included, appended
// to `text`; for time stamps written without Qt's pattern formatting.
void appendDigits(QString& text, int value, int width);

}  // namespace vx::log
