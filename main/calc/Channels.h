#pragma once

#include <QString>
#include <QStringList>

#include <span>
#include <vector>

#include "calc/Expression.h"
#include "calc/Parser.h"

// The channels of a multi-meter log: one per meter, then the computed ones
// of --calc in the order given, and the --limit checks over all of them.
//
//   --calc "P=V*I"  --calc "E=integral(P)/3600"
//   --limit "V<11.5"  --limit "abs(V-12)>=0.5 for 1m30s"
//
// A computed channel may use the meters and the channels computed before
// it; a limit may use every channel. Channels are numbered meters first, in
// the order given, so that a row is read by index.
namespace vx::calc {

// The longest a limit must hold, as vxlog's --duration: 366 days.
inline constexpr double kMaxHold = 366.0 * 86'400.0;
// Row times closer than this count as equal when a hold is measured, so that
// rounding in the times does not put a trigger a row late.
inline constexpr double kTimeTolerance = 1e-6;

struct Definition {
    QString name;
    Expression expression;
};

struct Limit {
    QString text;  // as given, for messages: "I>2.0 for 5s"
    Expression expression;
    Compare compare = Compare::Less;
    double threshold = 0.0;
    double hold = 0.0;  // seconds the comparison must hold before it triggers; 0: at once
};

struct ChannelSet {
    QStringList names;  // by channel index: the meters, then the computed channels
    qsizetype meters = 0;
    std::vector<Definition> computed;
    std::vector<Limit> limits;
};

struct ReadChannels {
    ChannelSet channels;
    QString error;  // empty when every text was good
};

// Reads the --calc and --limit texts against the meters' channel names. The
// first fault is the message the command line shows:
//   --calc "P=V*": expected a number, a channel or "(" after "*" (column 5)
//   --calc "P=V*J": no channel J; channels: V, I
//   --limit "I>2 for 5x": expected a time after "for", such as 90, 5s or 1m30s, not "5x" (column 9)
// A meter name that cannot name a channel is told without an option: "there is
// already a channel V".
ReadChannels readChannels(const QStringList& meters, const QStringList& calcs,
                          const QStringList& limits);

// One row of the log: its time and one value per meter.
struct Row {
    double time = 0.0;               // seconds on a steady clock
    std::span<const double> values;  // by meter, NaN when missing
};

struct LimitState {
    bool outside = false;    // the comparison holds on this row
    bool triggered = false;  // and has held for the limit's whole hold
    double since = kNaN;     // the time of the first row of the run outside; NaN when inside
    double value = kNaN;     // what the limit's expression gave on this row
};

// Computes the channels and limits of one row after the other. Integrals and
// holds carry over from row to row; nothing is allocated per row.
class Evaluator {
public:
    explicit Evaluator(ChannelSet channels);

    // Every channel's value on `row`, by channel index: the meters' values (NaN
    // for a meter the row lacks) and the computed ones. Valid until the next
    // call.
    std::span<const double> evaluate(const Row& row);
    // Each limit's state after the last row, in the order given.
    std::span<const LimitState> limits() const { return states_; }

    const ChannelSet& channels() const { return channels_; }

private:
    ChannelSet channels_;
    std::vector<double> values_;
    std::vector<double> stack_;
    std::vector<Integral> integrals_;
    std::vector<std::size_t> firstIntegral_;  // per computed channel, then per limit
    std::vector<LimitState> states_;
};

}  // namespace vx::calc
