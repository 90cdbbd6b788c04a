#include "log/DataLog.h"

#include <QDateTime>

namespace vx::log {

DataLog::~DataLog() {
    close();
}

bool DataLog::open(const QString& path) {
    if (file_.isOpen()) {
        error_ = QStringLiteral("a log file is already open: %1").arg(file_.fileName());
        return false;
    }
    file_.setFileName(path);
    // Unbuffered: each write goes straight to the system.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        file_.setFileName(QString());
        return false;
    }
    error_.clear();
    return true;
}

bool DataLog::writeLine(const QString& line) {
    if (!file_.isOpen()) {
        error_ = QStringLiteral("no log file is open");
        return false;
    }
    const QByteArray bytes = line.toLatin1() + "\r\n";
    const qint64 before = file_.isSequential() ? -1 : file_.size();
    // A short write is retried with the rest, so a full disk ends in the
    // system's own reason rather than in a silent partial line.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file_.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            break;
        }
        written += n;
    }
    if (written == bytes.size() && file_.flush()) {
        return true;
    }
    error_ = file_.errorString();
    // A line cut short would run into whatever is appended next: take the
    // fragment back so every line in the file stays whole.
    if (before >= 0 && written > 0) {
        file_.resize(before);
    }
    return false;
}

bool DataLog::writeBlockStart(const QString& header) {
    return writeLine(QString()) && writeLine(header);
}

DataLog::Start DataLog::start(const QString& path, const QString& header) {
    if (!open(path)) {
        return Start::NotOpened;
    }
    if (!writeBlockStart(header)) {
        close();  // keeps error()
        return Start::NotWritten;
    }
    return Start::Started;
}

void DataLog::close() {
    if (file_.isOpen()) {
        file_.close();
    }
}

void appendDigits(QString& text, int value, int width) {
    int scale = 1;
    for (int i = 1; i < width; ++i) {
        scale *= 10;
    }
    for (; scale > 0; scale /= 10) {
        text += QChar(u'0' + value / scale % 10);
    }
}

// Written digit by digit: Qt's formatting of a pattern goes through the
// locale and calendar machinery at every line. Years of other than four
// digits and invalid times are left to Qt.
QString logTimeStamp(const QDateTime& when) {
    const QDate date = when.date();
    const QTime time = when.time();
    if (!date.isValid() || !time.isValid() || date.year() < 1000 || date.year() > 9999) {
        return when.toString(QStringLiteral("HH:mm:ss MM/dd/yyyy"));
    }
    QString text;
    text.reserve(19);
    appendDigits(text, time.hour(), 2);
    text += u':';
    appendDigits(text, time.minute(), 2);
    text += u':';
    appendDigits(text, time.second(), 2);
    text += u' ';
    appendDigits(text, date.month(), 2);
    text += u'/';
    appendDigits(text, date.day(), 2);
    text += u'/';
    appendDigits(text, date.year(), 4);
    return text;
}

QString logHeaderLine(const QString& primary, const QString& secondary, bool secondaryOn) {
    return secondaryOn ? primary + QLatin1Char(',') + secondary : primary;
}

QString logReadingLine(const QString& reply, const QDateTime& when) {
    QString text = reply;
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text + QLatin1Char(',') + logTimeStamp(when);
}

}  // namespace vx::log
