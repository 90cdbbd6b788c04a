#include "session/Session.h"

#include <string_view>

#include "link/Errors.h"
#include "link/Framing.h"
#include "link/SerialLink.h"
#include "logread/Values.h"
#include "timing/Clock.h"

namespace vx::session {

namespace {

// Opens the device named by its text (a path or address) in place of a COM
// number.
class DeviceOpener final : public link::PortOpener {
public:
    explicit DeviceOpener(QString path) : path_(std::move(path)) {}
    Result open(int, qint32 baudRate) override {
        return link::SerialPortOpener().openDevice(path_, baudRate);
    }
    QStringList describe(int count) const override { return QStringList(count, path_); }

private:
    QString path_;
};

// How often a query's time starts again for a late reply to an earlier one.
constexpr int kMaxExtensions = 3;

QString seconds(int ms) {
    return QString::number(ms / 1000.0, 'g', 3);
}

// The other half of a CR LF pair, left at either end of a line when the
// terminator is one of the two.
QByteArray withoutPairHalf(QByteArray line, const QByteArray& terminator) {
    if (terminator == "\n" && line.endsWith('\r')) {
        line.chop(1);
    } else if (terminator == "\r" && line.startsWith('\n')) {
        line.remove(0, 1);
    }
    return line;
}

// Nothing but line ends: what is left of a CR LF pair is no start of a line.
bool onlyLineEnds(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (c != '\r' && c != '\n') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<int> comNumber(const QString& device) {
    QString digits = device.trimmed();
    // ASCII case: no other character folds to these letters.
    if (digits.left(3).toLatin1().toUpper() == "COM") {
        digits = digits.mid(3);
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || digits.isEmpty() || !digits.front().isDigit()) {
        return std::nullopt;
    }
    return n;
}

Session::Session(link::PortOpener& opener, timing::Clock& clock, Line line, Timing timing,
                 QObject* parent)
    : QObject(parent), clock_(clock), line_(std::move(line)), timing_(timing) {
    link::PortOpener* used = &opener;
    const std::optional<int> com = comNumber(line_.device);
    if (!com) {
        pathOpener_ = std::make_unique<DeviceOpener>(line_.device);
        used = pathOpener_.get();
    }
    link_ = std::make_unique<link::SerialLink>(*used, this);
    link_->setCommPort(com.value_or(1));
    link_->setSettings(QString::number(line_.baud) + QStringLiteral(",N,8,1"));
    link_->setConnectLimit(timing_.connectLimit);
    connect(link_.get(), &link::SerialLink::dataWaiting, this, &Session::onData);
    connect(link_.get(), &link::SerialLink::portLost, this, [this](const QString& reason) {
        fail({Failure::Lost, link::kConnectionClosed, reason});
    });
    replyTimer_.setSingleShot(true);
    connect(&replyTimer_, &QTimer::timeout, this, &Session::expire);
}

Session::~Session() {
    close();
}

QString Session::portName() const {
    const QString device = link_->devicePath();
    return device.isEmpty() || device == line_.device
               ? line_.device
               : QStringLiteral("%1 (%2)").arg(line_.device, device);
}

QString Session::devicePath() const {
    return link_->devicePath();
}

bool Session::isOpen() const {
    return link_->isOpen();
}

Fault Session::open(const std::function<bool()>& abandon) {
    close();
    if (const int e = link_->open(); e != link::kNoError) {
        return {Failure::NotOpened, e, link_->lastError()};
    }
    if (link_->connecting()) {
        link::awaitConnection(*link_, clock_, abandon);
        if (abandon && abandon()) {
            close();
            return {Failure::NotOpened, link::kPortNotOpen, QStringLiteral("stopped")};
        }
        if (const int e = link_->finishConnect(); e != link::kNoError) {
            return {Failure::NotOpened, e, link_->lastError()};
        }
    }
    // A lone terminator ends whatever a stopped program left half-sent; the
    // meter takes an empty line as nothing. Then everything already on its
    // way to us is dropped.
    settling_ = true;
    Fault fault = send(QString());
    if (fault.ok() && timing_.settleMs > 0) {
        clock_.runEventsFor(timing_.settleMs);
    }
    settling_ = false;
    if (!fault.ok()) {
        return fault;
    }
    if (!isOpen()) {
        return {Failure::Lost, link::kConnectionClosed, link_->lastError()};
    }
    startLine();
    open_ = true;
    return {};
}

void Session::close() {
    open_ = false;
    replyTimer_.stop();
    pending_.reset();
    buffer_.clear();
    skipRest_ = false;
    link_->close();
}

Fault Session::send(const QString& command) {
    if (const std::optional<char32_t> c = link::framing::firstBeyondLatin1(command)) {
        return {Failure::NotSent, link::kWriteFailed,
                QStringLiteral("\"%1\" holds %2, which a command line cannot carry (one byte a "
                               "character)")
                    .arg(command, QString::fromUcs4(&*c, 1))};
    }
    if (const int e = link_->write(link::framing::commandLine(command, line_.terminator));
        e != link::kNoError) {
        const Fault fault{Failure::NotSent, e, link_->lastError()};
        close();
        return fault;
    }
    return {};
}

// Whatever waits now was on its way before the query: it answers nothing
// of ours. A line it leaves unfinished is skipped to its end.
void Session::startLine() {
    buffer_ += link_->readAll();
    skipRest_ = !onlyLineEnds(buffer_);
    if (skipRest_ && buffer_.endsWith(line_.terminator.toLatin1())) {
        skipRest_ = false;
    }
    buffer_.clear();
}

Fault Session::ask(const QString& command, Expect expect, int limitMs) {
    if (pending_) {
        return {Failure::NotSent, link::kPortInUse,
                QStringLiteral("%1 not sent: %2 still waits for its reply")
                    .arg(command, pending_->command)};
    }
    startLine();
    if (Fault fault = send(command); !fault.ok()) {
        return fault;
    }
    const int limit = limitMs > 0 ? limitMs : timing_.replyMs;
    pending_ = Pending{command, expect, limit};
    replyTimer_.start(limit);
    return {};
}

void Session::expire() {
    if (!pending_) {
        return;
    }
    const Pending& p = *pending_;
    fail({Failure::NoReply, link::kNoReply,
          (p.partial ? QStringLiteral("the reply to %1 has no termination character within %2 s")
                     : QStringLiteral("no reply to %1 within %2 s"))
              .arg(p.command, seconds(p.limitMs))});
}

void Session::onData() {
    const QByteArray terminator = line_.terminator.toLatin1();
    buffer_ += link_->readAll();
    if (settling_ || terminator.isEmpty()) {
        buffer_.clear();
        return;
    }
    for (qsizetype at = buffer_.indexOf(terminator); at >= 0; at = buffer_.indexOf(terminator)) {
        const QByteArray line = buffer_.left(at);
        buffer_.remove(0, at + terminator.size());
        takeLine(line);
        if (!isOpen()) {
            return;
        }
    }
    if (pending_) {
        pending_->partial = !skipRest_ && !onlyLineEnds(buffer_);
    }
    if (buffer_.size() > link::framing::kReplyLimit) {
        buffer_.clear();
        skipRest_ = true;
        if (pending_) {
            fail({Failure::Overlong, link::kNoReply,
                  QStringLiteral("the reply to %1 ran past %2 bytes without a terminator")
                      .arg(pending_->command)
                      .arg(link::framing::kReplyLimit)});
        }
    }
}

void Session::takeLine(QByteArray line) {
    line = withoutPairHalf(std::move(line), line_.terminator.toLatin1());
    const QString text = link::framing::fromWire(line);
    if (std::exchange(skipRest_, false) || !pending_ || !fits(text, pending_->expect)) {
        // A late reply shows a meter working through queries it was sent
        // before: the query waiting now gets its time again, a few times.
        if (pending_ && pending_->extensions < kMaxExtensions) {
            ++pending_->extensions;
            replyTimer_.start(pending_->limitMs);
        }
        Q_EMIT skipped(text);
        return;
    }
    const Expect expect = pending_->expect;
    pending_.reset();
    replyTimer_.stop();
    if (expect == Expect::Identity) {
        identity_ = text.trimmed();
    }
    Q_EMIT replied(text);
}

bool Session::fits(const QString& reply, Expect expect) const {
    switch (expect) {
        case Expect::Any:
            return true;
        case Expect::Identity: {
            const QByteArray first = reply.section(QLatin1Char(','), 0, 0).toLatin1();
            return !reply.trimmed().isEmpty() &&
                   logread::readValue(
                       std::string_view(first.constData(), std::size_t(first.size())))
                           .gap == logread::Gap::NotANumber;
        }
        case Expect::Reading:
            return !reply.trimmed().isEmpty() &&
                   (identity_.isEmpty() || reply.trimmed() != identity_);
    }
    return false;
}

void Session::fail(Fault fault) {
    if (!open_) {
        return;
    }
    close();
    Q_EMIT failed(fault);
}

}  // namespace vx::session
