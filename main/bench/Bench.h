#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "session/Session.h"

namespace vx::link {
class PortOpener;
}
namespace vx::timing {
class Clock;
}

// Several meters on one time base. Each meter has its own session on its
// own port; a tick asks every meter at once, and one row comes out when all
// have answered or their reply limit has passed. A row carries one time
// stamp, the tick's, and per meter the reply or why there is none; a meter
// that fails leaves its cell empty while the others go on.
namespace vx::bench {

// One meter of the bench: a short name (used in headers, keys and
// expressions), its line, and the command lines that set it up once it has
// identified itself.
struct Meter {
    QString name;
    session::Line line;
    QStringList settings;
};

// One meter's part of a row.
struct Cell {
    enum class State : std::uint8_t {
        Replied,  // `reply` holds the reply
        NoReply,  // asked, no whole reply within the limit (or the port failed meanwhile)
        Lost,     // not connected at the tick: not asked
    };
    State state = State::Lost;
    QString reply;
    QString reason;         // why there is no reply
    qint64 askedNs = 0;     // when the query went out, on the clock's steady time
    qint64 answeredNs = 0;  // when the reply was whole
};

struct Row {
    qint64 tickNs = 0;  // the tick, on the clock's steady time
    QDateTime when;     // the tick's wall-clock time stamp
    std::vector<Cell> cells;
    // The spread between the earliest and the latest query of the tick.
    qint64 skewNs = 0;
};

class Bench : public QObject {
    Q_OBJECT
public:
    Bench(link::PortOpener& opener, timing::Clock& clock, std::vector<Meter> meters,
          session::Timing timing = {}, QObject* parent = nullptr);
    ~Bench() override;

    int size() const { return static_cast<int>(meters_.size()); }
    const Meter& meter(int index) const { return meters_[std::size_t(index)].meter; }
    session::Session& session(int index) { return *meters_[std::size_t(index)].session; }
    bool isReady(int index) const { return meters_[std::size_t(index)].state == State::Ready; }
    bool ticking() const { return pending_ > 0; }

    // Opens meter `index` (events run meanwhile) and asks its identity;
    // identified() or failed() follows. A fault returned here means the
    // port did not open.
    session::Fault connectMeter(int index, const std::function<bool()>& abandon = {});
    // Asks every ready meter at once; row() follows. False (and nothing
    // asked) while the last tick still waits for a reply.
    bool tick();
    void close();

Q_SIGNALS:
    // The meter answered *IDN? and its settings went out: it is ready.
    void identified(int index, const QString& identity);
    // The meter failed: while identifying, between ticks, or during a tick
    // (its cell of that row then says why). Its port is closed.
    void failed(int index, const vx::session::Fault& fault);
    void row(const vx::bench::Row& row);

private:
    enum class State : std::uint8_t { Closed, Identifying, Ready, Asking };
    struct Slot {
        Meter meter;
        std::unique_ptr<session::Session> session;
        State state = State::Closed;
    };

    void onReplied(int index, const QString& reply);
    void onFailed(int index, const session::Fault& fault);
    void settle();

    timing::Clock& clock_;
    std::vector<Slot> meters_;
    Row current_;
    int pending_ = 0;
};

}  // namespace vx::bench
