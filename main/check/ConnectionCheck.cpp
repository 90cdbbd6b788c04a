#include "check/ConnectionCheck.h"

#include <QDateTime>
#include <QTextStream>

#include <array>
#include <string_view>

#include "check/CommandLine.h"
#include "meter/Commands.h"
#include "session/Session.h"
#include "timing/Clock.h"

namespace vx::check {

namespace {

using meter::text;

struct Step {
    std::string_view command;
    std::string_view label;  // what the reply is called in the output
    session::Expect expect;
    qint64 waitMs;  // how long the reply may take
};

// Identification gets the two seconds the window waits for it; a reading
// may take longer at the slowest rate.
constexpr std::array kSteps{
    Step{"*IDN?", "Identification", session::Expect::Identity, 2000},
    Step{"FETC?", "Reading", session::Expect::Reading, 5000},
};

// How often the wait looks at what arrived.
constexpr qint64 kPollMs = 20;

}  // namespace

int checkConnection(const CheckOptions& options, link::PortOpener& opener, timing::Clock& clock,
                    QTextStream& out, QTextStream& err) {
    const QString port = QStringLiteral("COM%1").arg(options.com);
    session::Session session(
        opener, clock,
        session::Line{.device = port, .baud = options.baud, .terminator = options.terminator});
    if (const session::Fault fault = session.open(); !fault.ok()) {
        err << "vxmeter: " << port << ": " << fault.reason << '\n';
        return 1;
    }
    out << port << ": " << session.devicePath() << ", " << options.baudText << " baud, "
        << options.terminatorName << '\n';

    QString reply;
    session::Fault fault;
    QObject::connect(&session, &session::Session::replied, &session,
                     [&](const QString& r) { reply = r; });
    QObject::connect(&session, &session::Session::failed, &session,
                     [&](const session::Fault& f) { fault = f; });
    for (const Step& step : kSteps) {
        reply.clear();
        fault = session.ask(text(step.command), step.expect, int(step.waitMs));
        // The wait runs on the program's clock; the session's own limit is
        // the same, whichever comes first.
        const QDateTime end = clock.now().addMSecs(step.waitMs);
        while (fault.ok() && session.asking() && clock.now() < end) {
            clock.runEventsFor(kPollMs);
        }
        session.expire();
        if (!fault.ok()) {
            err << "vxmeter: " << port << ": "
                << (fault.failure == session::Failure::Lost
                        ? QStringLiteral("connection lost: ") + fault.reason
                        : fault.reason + QStringLiteral(": check the baud rate and termination "
                                                        "character"))
                << '\n';
            return 1;
        }
        out << text(step.label) << ": " << reply << '\n';
    }
    return 0;
}

}  // namespace vx::check
