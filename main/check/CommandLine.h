#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace vx::link {
class PortOpener;
}
namespace vx::timing {
class Clock;
}

// The window program's command line. Without options the program opens its
// window; the options here run without a window and end the program:
//
//   vxmeter --check COM [--baud RATE] [--term CR|LF]
//   vxmeter --help | --version
//
// Any other argument (Qt's own, such as -platform) leaves the window start
// as it was.
namespace vx::check {

// What the meter is checked with: COM number, line speed and terminator.
struct CheckOptions {
    int com = 0;
    qint32 baud = 0;
    QString baudText;
    QString terminator;
    QString terminatorName;
};

struct Request {
    enum class Action { Help, Version, Check, Error };
    Action action = Action::Error;
    CheckOptions check;
    QString error;  // for Action::Error
};

// True when `arguments` (the program name first) hold one of the options above.
bool isCommandLineRun(const QStringList& arguments);

// The request the arguments (the program name first) make.
Request parseArguments(const QStringList& arguments);

QString usageText();

// Carries out the request the arguments make: output to `out`, errors to
// `err`. Returns the exit status: 0 done, 1 the check failed, 2 bad usage.
int run(const QStringList& arguments, link::PortOpener& opener, timing::Clock& clock,
        QTextStream& out, QTextStream& err);

}  // namespace vx::check
