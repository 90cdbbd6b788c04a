#include "cli/App.h"

#include <QCoreApplication>
#include <QEvent>

#include <sys/ioctl.h>
#include <unistd.h>
#include <cstdio>

#include "cli/Options.h"
#include "cli/Runner.h"
#include "cli/Serve.h"
#include "cli/Signals.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "timing/Clock.h"

namespace vx::cli {

namespace {

constexpr int kComCount = 15;

void writeAll(QIODevice& device, const QString& text) {
    device.write(text.toLocal8Bit());
}

// The terminal's width, for the status line; 0 when it cannot be told.
int terminalColumns() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// Qt's own diagnostics are not vxlog's messages: warnings stay off stderr,
// so scripts reading it see only what vxlog says. A failure Qt cannot go on
// from is still told.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fputs(qPrintable(QStringLiteral("vxlog: Qt: %1\n").arg(text)), stderr);
    }
}

}  // namespace

int runApp(const QStringList& arguments) {
    qInstallMessageHandler(qtMessage);
    // Unbuffered: each reading reaches a pipe as soon as it is taken. A write
    // blocked on a pipe nobody reads gives up once a stop signal comes.
    FdDevice out(STDOUT_FILENO, &Signals::stopPending);
    FdDevice err(STDERR_FILENO, &Signals::stopPending);

    const Parsed parsed = parseOptions(arguments);
    if (!parsed.error.isEmpty()) {
        writeAll(err, QStringLiteral("vxlog: %1\n").arg(parsed.error) + usageLine());
        return kExitUsage;
    }
    const Options& options = parsed.options;
    for (const QString& note : parsed.notes) {
        writeAll(err, QStringLiteral("vxlog: %1\n").arg(note));
    }
    link::SerialPortOpener opener;
    switch (options.mode) {
        case Mode::Help:
            writeAll(out, helpText());
            return kExitOk;
        case Mode::Version:
            writeAll(out, QStringLiteral("vxlog %1\n").arg(QStringLiteral(VXLOG_VERSION)));
            return kExitOk;
        case Mode::ListPorts:
            // One look at the system's port list for all of them.
            for (int n = 1; const QString& device : opener.describe(kComCount)) {
                writeAll(out, link::portDescription(n++, device) + QLatin1Char('\n'));
            }
            return kExitOk;
        case Mode::Log:
        case Mode::Send:
            break;
    }

    Signals handlers;
    timing::SystemClock clock;
    Runner runner(options, opener, clock,
                  Streams{.out = out,
                          .err = err,
                          .errIsTerminal = ::isatty(STDERR_FILENO) == 1,
                          .columns = terminalColumns,
                          .stopping = &Signals::stopPending});
    // The live page and the broker: their modules are loaded only here.
    if (QString error;
        options.serve && options.mode == Mode::Log && !addServe(runner, *options.serve, &error)) {
        writeAll(err, QStringLiteral("vxlog: %1\n").arg(error));
        return kExitOutput;
    }
    if (options.mqtt && options.mode == Mode::Log) {
        if (QString error; !addPublisher(runner, *options.mqtt, &error)) {
            writeAll(err, QStringLiteral("vxlog: %1\n").arg(error));
            return kExitOutput;
        }
    }
    QObject::connect(&runner, &Runner::finished, qApp, &QCoreApplication::exit);
    QObject::connect(&handlers, &Signals::stopRequested, &runner, &Runner::stop);
    QObject::connect(&handlers, &Signals::reopenRequested, &runner, &Runner::reopenOutput);
    QMetaObject::invokeMethod(&runner, &Runner::start, Qt::QueuedConnection);
    const int code = QCoreApplication::exec();
    // The closed port is deleted later; the loop has ended, so do it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}

}  // namespace vx::cli
