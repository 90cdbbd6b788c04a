#include "check/ConnectionCheck.h"

#include <QDateTime>
#include <QTextStream>

#include <array>
#include <string_view>

#include "check/CommandLine.h"
#include "link/Errors.h"
#include "link/Framing.h"
#include "link/SerialLink.h"
#include "timing/Clock.h"

namespace vx::check {

namespace {

struct Step {
    std::string_view command;
    std::string_view label;  // what the reply is called in the output
    qint64 waitMs;           // how long the reply may take
};

// Identification gets the two seconds the window waits for it; a reading
// may take longer at the slowest rate.
constexpr std::array kSteps{
    Step{"*IDN?", "Identification", 2000},
    Step{"FETC?", "Reading", 5000},
};

// How often the wait looks at what arrived.
constexpr qint64 kPollMs = 20;

QString text(std::string_view view) {
    return QString::fromLatin1(view.data(), static_cast<qsizetype>(view.size()));
}

}  // namespace

int checkConnection(const CheckOptions& options, link::PortOpener& opener, timing::Clock& clock,
                    QTextStream& out, QTextStream& err) {
    const QString port = QStringLiteral("COM%1").arg(options.com);
    link::SerialLink link(opener);
    link.setCommPort(options.com);
    link.setSettings(options.baudText + QStringLiteral(",N,8,1"));
    link.setInputLen(0);
    link.setRThreshold(1);
    if (link.open() != link::kNoError) {
        err << "vxmeter: " << port << ": " << link.lastError() << '\n';
        return 1;
    }
    out << port << ": " << link.devicePath() << ", " << options.baudText << " baud, "
        << options.terminatorName << '\n';

    QString collected;
    QObject::connect(&link, &link::SerialLink::dataWaiting, &link,
                     [&] { collected += link::framing::fromWire(link.readAll()); });

    for (const Step& step : kSteps) {
        const QString command = text(step.command);
        collected.clear();
        if (link.write(link::framing::commandLine(command, options.terminator)) != link::kNoError) {
            err << "vxmeter: " << port << ": " << command << " not sent: " << link.lastError()
                << '\n';
            return 1;
        }
        const QDateTime end = clock.now().addMSecs(step.waitMs);
        while (!link::framing::replyComplete(collected, options.terminator) && link.isOpen() &&
               clock.now() < end) {
            clock.runEventsFor(kPollMs);
        }
        if (!link::framing::replyComplete(collected, options.terminator)) {
            if (!link.isOpen()) {
                err << "vxmeter: " << port << ": connection lost: " << link.lastError() << '\n';
            } else {
                err << "vxmeter: " << port << ": "
                    << (collected.isEmpty() ? QStringLiteral("no reply to %1 within %2 s")
                                            : QStringLiteral("the reply to %1 has no "
                                                             "termination character within %2 s"))
                           .arg(command)
                           .arg(double(step.waitMs) / 1000.0)
                    << ": check the baud rate and termination character\n";
            }
            return 1;
        }
        out << text(step.label) << ": " << collected.left(collected.indexOf(options.terminator))
            << '\n';
    }
    return 0;
}

}  // namespace vx::check
