#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "link/NetworkPort.h"

namespace vx::link {
class PortOpener;
class SerialLink;
}  // namespace vx::link
namespace vx::timing {
class Clock;
}

// One meter's exchange for the programs without a window: open a device
// text, wait for the connection, bring the line to a known state, then one
// query at a time, each reply matched to its query.
//
// What "matched" means: a reply is a whole line (up to the terminator) that
// began after its query went out. Bytes that were already waiting when the
// query left, and the rest of a line that began before it, answer nothing
// of ours and are skipped. A reply must also fit its query: the answer to
// *IDN? never reads as a measurement, the answer to FETC? is never the
// identification again. So a late reply to a query of an earlier run (or a
// run stopped while the meter was still answering) is never taken for the
// next one's. After any failure the port is closed: the line's state is no
// longer known, and only a new open() brings it back.
namespace vx::session {

enum class Failure : std::uint8_t {
    None,
    NotOpened,  // the port could not be opened or connected
    NoReply,    // no whole reply within the limit
    Lost,       // the port failed or the far end closed it
    Overlong,   // a reply ran past the limit without its terminator
    NotSent,    // the command could not be written
};

struct Fault {
    Failure failure = Failure::None;
    int error = 0;   // the link's error number
    QString reason;  // plain words for the operator

    bool ok() const { return failure == Failure::None; }
};

// What a reply must look like to be taken for its query's.
enum class Expect : std::uint8_t {
    Any,       // any line, an empty one included
    Identity,  // *IDN?: a text whose first field does not read as a measurement
    Reading,   // FETC?: any line but an empty one or the identification again
};

// The line to the meter: a COM number ("COM3", "3"), a device path or a
// network port (tcp://HOST:PORT), its baud rate and terminator.
struct Line {
    QString device;
    qint32 baud = 9600;
    QString terminator = QStringLiteral("\n");
};

struct Timing {
    int replyMs = 2000;  // how long a reply may take, unless a query names its own limit
    int settleMs = 50;   // after opening: input arriving this long is dropped unread
    std::chrono::milliseconds connectLimit = link::kConnectLimit;
};

// "COM3" or "3" (any case) gives 3, for COM numbers from 1 up; anything else
// is a device path or address.
std::optional<int> comNumber(const QString& device);

class Session : public QObject {
    Q_OBJECT
public:
    Session(link::PortOpener& opener, timing::Clock& clock, Line line, Timing timing = {},
            QObject* parent = nullptr);
    ~Session() override;

    // Opens the device and waits for its connection (events run meanwhile;
    // `abandon`, asked after every pass, ends the wait early). Then ends any
    // command a stopped program left half-sent with a lone terminator, and
    // drops whatever is waiting or arrives within the settle time.
    Fault open(const std::function<bool()>& abandon = {});
    void close();
    bool isOpen() const;

    // A command that draws no reply.
    Fault send(const QString& command);
    // A query: replied() or failed() follows, once. `limitMs` 0 takes the
    // session's reply limit. A fault returned here means nothing was asked.
    Fault ask(const QString& command, Expect expect = Expect::Any, int limitMs = 0);
    bool asking() const { return pending_.has_value(); }
    // The caller's own limit for the query has passed: it fails as no reply.
    void expire();

    // The identification, once a reply to an Identity query was taken.
    QString identity() const { return identity_; }
    const Line& line() const { return line_; }
    // "COM3 (/dev/ttyUSB0)", or the device text as given.
    QString portName() const;
    // What the device text was mapped to at the last open.
    QString devicePath() const;

Q_SIGNALS:
    void replied(const QString& reply);
    // The query failed, or the port was lost between queries. The port is
    // closed by then.
    void failed(const vx::session::Fault& fault);
    // A line that answered no query of ours, dropped.
    void skipped(const QString& line);

private:
    struct Pending {
        QString command;
        Expect expect;
        int limitMs;
        bool partial = false;  // bytes of a reply have come
        int extensions = 0;    // times the limit started again for a late reply
    };

    void onData();
    void takeLine(QByteArray line);
    bool fits(const QString& reply, Expect expect) const;
    void startLine();
    void fail(Fault fault);

    timing::Clock& clock_;
    const Line line_;
    const Timing timing_;
    std::unique_ptr<link::PortOpener> pathOpener_;
    std::unique_ptr<link::SerialLink> link_;
    QTimer replyTimer_;
    QByteArray buffer_;
    std::optional<Pending> pending_;
    bool open_ = false;  // opened, and no failure since
    bool settling_ = false;
    bool skipRest_ = false;  // the bytes up to the next terminator end a line nobody asked for
    QString identity_;
};

}  // namespace vx::session
