#include "bench/Bench.h"

#include <algorithm>

#include "timing/Clock.h"

namespace vx::bench {

namespace {

const QString kIdentify = QStringLiteral("*IDN?");
const QString kFetch = QStringLiteral("FETC?");

}  // namespace

Bench::Bench(link::PortOpener& opener, timing::Clock& clock, std::vector<Meter> meters,
             session::Timing timing, QObject* parent)
    : QObject(parent), clock_(clock) {
    meters_.reserve(meters.size());
    for (Meter& meter : meters) {
        const int index = static_cast<int>(meters_.size());
        auto session = std::make_unique<session::Session>(opener, clock, meter.line, timing, this);
        connect(session.get(), &session::Session::replied, this,
                [this, index](const QString& reply) { onReplied(index, reply); });
        connect(session.get(), &session::Session::failed, this,
                [this, index](const session::Fault& fault) { onFailed(index, fault); });
        meters_.push_back(Slot{std::move(meter), std::move(session), State::Closed});
    }
}

Bench::~Bench() {
    close();
}

session::Fault Bench::connectMeter(int index, const std::function<bool()>& abandon) {
    Slot& slot = meters_[std::size_t(index)];
    slot.state = State::Closed;
    if (session::Fault fault = slot.session->open(abandon); !fault.ok()) {
        return fault;
    }
    slot.state = State::Identifying;
    if (session::Fault fault = slot.session->ask(kIdentify, session::Expect::Identity);
        !fault.ok()) {
        slot.state = State::Closed;
        return fault;
    }
    return {};
}

bool Bench::tick() {
    if (pending_ > 0) {
        return false;
    }
    current_ = Row{.tickNs = clock_.elapsedNs(),
                   .when = clock_.now(),
                   .cells = std::vector<Cell>(meters_.size()),
                   .skewNs = 0};
    // Every query goes out before any reply is looked at: the meters work
    // in parallel, each on its own line.
    std::vector<int> asked;
    for (std::size_t i = 0; i < meters_.size(); ++i) {
        Slot& slot = meters_[i];
        Cell& cell = current_.cells[i];
        if (slot.state != State::Ready) {
            cell.state = Cell::State::Lost;
            cell.reason = QStringLiteral("not connected");
            continue;
        }
        cell.askedNs = clock_.elapsedNs();
        cell.state = Cell::State::NoReply;
        slot.state = State::Asking;
        ++pending_;
        asked.push_back(int(i));
        if (const session::Fault fault = slot.session->ask(kFetch, session::Expect::Reading);
            !fault.ok()) {
            --pending_;
            slot.state = State::Closed;
            cell.reason = fault.reason;
            Q_EMIT failed(int(i), fault);
        }
    }
    if (asked.size() > 1) {
        const auto [first,
                    last] = std::minmax_element(asked.cbegin(), asked.cend(), [this](int a, int b) {
            return current_.cells[std::size_t(a)].askedNs < current_.cells[std::size_t(b)].askedNs;
        });
        current_.skewNs = current_.cells[std::size_t(*last)].askedNs -
                          current_.cells[std::size_t(*first)].askedNs;
    }
    if (pending_ == 0) {
        Q_EMIT row(current_);
    }
    return true;
}

void Bench::onReplied(int index, const QString& reply) {
    Slot& slot = meters_[std::size_t(index)];
    switch (slot.state) {
        case State::Identifying:
            for (const QString& line : slot.meter.settings) {
                if (const session::Fault fault = slot.session->send(line); !fault.ok()) {
                    slot.state = State::Closed;
                    Q_EMIT failed(index, fault);
                    return;
                }
            }
            slot.state = State::Ready;
            Q_EMIT identified(index, slot.session->identity());
            break;
        case State::Asking: {
            Cell& cell = current_.cells[std::size_t(index)];
            cell.state = Cell::State::Replied;
            cell.reply = reply;
            cell.answeredNs = clock_.elapsedNs();
            slot.state = State::Ready;
            settle();
            break;
        }
        default:
            break;
    }
}

void Bench::onFailed(int index, const session::Fault& fault) {
    Slot& slot = meters_[std::size_t(index)];
    const State was = slot.state;
    slot.state = State::Closed;
    if (was == State::Asking) {
        Cell& cell = current_.cells[std::size_t(index)];
        cell.state = Cell::State::NoReply;
        cell.reason = fault.reason;
    }
    Q_EMIT failed(index, fault);
    if (was == State::Asking) {
        settle();
    }
}

// One meter of the tick is done; the row goes out with the last.
void Bench::settle() {
    if (pending_ > 0 && --pending_ == 0) {
        Q_EMIT row(current_);
    }
}

void Bench::close() {
    pending_ = 0;
    for (Slot& slot : meters_) {
        slot.state = State::Closed;
        slot.session->close();
    }
}

}  // namespace vx::bench
