#pragma once

#include <QString>

#include "logread/LogReader.h"

namespace logtest {

// What a log reader made of a file, as text to compare:
//   lines 7, readings 3, bad 1 (first 4)
//   <header line> '<header>' <n> readings; primary <count>/<gaps>/<overloads> <min>..<max>
// and "; secondary ..." the same way when the session has a secondary column;
// for a log of several channels, "; <title> ..." for each.
inline QString summary(const vx::logread::LogContents& contents) {
    QString text = QStringLiteral("lines %1, readings %2, bad %3")
                       .arg(contents.lines)
                       .arg(contents.readings)
                       .arg(contents.badLines);
    if (contents.badLines > 0) {
        text += QStringLiteral(" (first %1)").arg(contents.firstBadLine);
    }
    text += QLatin1Char('\n');
    const auto column = [](const char* name, const vx::logread::Stats& stats) {
        QString part = QStringLiteral("; %1 %2/%3/%4")
                           .arg(QLatin1String(name))
                           .arg(stats.count())
                           .arg(stats.gaps())
                           .arg(stats.overloads());
        if (stats.count() > 0) {
            part += QStringLiteral(" %1..%2").arg(stats.min()).arg(stats.max());
        }
        return part;
    };
    for (const vx::logread::Session& session : contents.sessions) {
        text += QStringLiteral("%1 '%2' %3 readings")
                    .arg(session.line)
                    .arg(QString::fromLatin1(session.header.c_str()))
                    .arg(session.readings);
        if (session.channels()) {
            for (std::size_t i = 0; i < session.columns.size(); ++i) {
                text += column(session.titles[i].c_str(), session.columns[i]);
            }
        } else {
            text += column("primary", session.primary());
            if (session.hasSecondary) {
                text += column("secondary", session.secondary());
            }
        }
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace logtest
