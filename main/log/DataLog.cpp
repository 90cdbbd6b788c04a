#include "DataLog.h"

#include <QDateTime>

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
    if (file_.write(bytes) != bytes.size() || !file_.flush()) {
        error_ = file_.errorString();
        // A line cut short by a full disk would run into whatever is
        // appended next: take the fragment back so every line stays whole.
        if (before >= 0 && file_.size() > before) {
            file_.resize(before);
        }
        return false;
    }
    return true;
}

void DataLog::close() {
    if (file_.isOpen()) {
        file_.close();
    }
}

QString logTimeStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("HH:mm:ss MM/dd/yyyy"));
}
