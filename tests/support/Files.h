#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole file, or "<unreadable>".
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
