#include "calc/Channels.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "options/Values.h"

namespace vx::calc {

namespace {

// "--calc "P=V*": expected ...". A text too long to read is shown cut.
QString fault(const QString& option, const QString& text, const QString& why) {
    constexpr qsizetype kShown = 40;
    const QString shown =
        std::size_t(text.size()) > kMaxLength ? text.left(kShown) + QStringLiteral("...") : text;
    return QStringLiteral("--%1 \"%2\": %3").arg(option, shown, why);
}

// The time after "for" in seconds, or why it is none.
QString readHold(const ParsedLimit& parsed, double& seconds) {
    const options::Limits limits{
        .low = 0.0, .high = kMaxHold, .quantity = options::Quantity::Duration};
    const QString text = QString::fromUtf8(parsed.hold.data(), qsizetype(parsed.hold.size()));
    const options::Real time = options::duration(text, limits);
    const QString column = QStringLiteral(" (column %1)").arg(parsed.holdColumn);
    switch (time.fault) {
        case options::Fault::None:
            seconds = time.value;
            return {};
        case options::Fault::NotANumber:
            return QStringLiteral(
                       "expected a time after \"for\", such as 90, 5s or 1m30s, not \"%1\"")
                       .arg(text) +
                   column;
        default:
            return QStringLiteral("the time after \"for\" is at most %1, not %2")
                       .arg(options::limitText(kMaxHold, options::Quantity::Duration), text) +
                   column;
    }
}

}  // namespace

ReadChannels readChannels(const QStringList& meters, const QStringList& calcs,
                          const QStringList& limits) {
    ReadChannels out;
    ChannelSet& set = out.channels;
    std::vector<std::string> names;
    for (const QString& meter : meters) {
        const std::string name = meter.toStdString();
        if (std::string why = nameFault(name, names); !why.empty()) {
            out.error = QString::fromStdString(why);
            return out;
        }
        names.push_back(name);
    }
    set.names = meters;
    set.meters = meters.size();

    // Every computed channel's name first, to tell a later one from an unknown one.
    std::vector<std::string> texts;
    std::vector<std::string> declared;
    for (const QString& calc : calcs) {
        texts.push_back(calc.toStdString());
        declared.emplace_back(definedName(texts.back()));
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const Scope scope{.channels = names, .later = std::span(declared).subspan(i + 1)};
        ParsedDefinition parsed = parseDefinition(texts[i], scope);
        if (!parsed.error.empty()) {
            out.error = fault(QStringLiteral("calc"), calcs[qsizetype(i)],
                              QString::fromStdString(parsed.error));
            return out;
        }
        set.names.append(QString::fromStdString(parsed.name));
        set.computed.push_back({set.names.back(), std::move(parsed.expression)});
        names.push_back(std::move(parsed.name));
    }

    for (const QString& text : limits) {
        const std::string bytes = text.toStdString();
        ParsedLimit parsed = parseLimit(bytes, Scope{.channels = names});
        double hold = 0.0;
        QString why = QString::fromStdString(parsed.error);
        if (why.isEmpty() && !parsed.hold.empty()) {
            why = readHold(parsed, hold);
        }
        if (!why.isEmpty()) {
            out.error = fault(QStringLiteral("limit"), text, why);
            return out;
        }
        set.limits.push_back({.text = text,
                              .expression = std::move(parsed.expression),
                              .compare = parsed.compare,
                              .threshold = parsed.threshold,
                              .hold = hold});
    }
    return out;
}

Evaluator::Evaluator(ChannelSet channels)
    : channels_(std::move(channels)),
      values_(std::size_t(channels_.names.size()), kNaN),
      states_(channels_.limits.size()) {
    std::size_t stack = 0;
    std::size_t integrals = 0;
    const auto place = [&](const Expression& e) {
        stack = std::max(stack, e.stack);
        firstIntegral_.push_back(integrals);
        integrals += e.integrals;
    };
    for (const Definition& d : channels_.computed) {
        place(d.expression);
    }
    for (const Limit& l : channels_.limits) {
        place(l.expression);
    }
    stack_.resize(stack);
    integrals_.resize(integrals);
}

std::span<const double> Evaluator::evaluate(const Row& row) {
    const auto meters = std::size_t(channels_.meters);
    for (std::size_t i = 0; i < meters; ++i) {
        values_[i] = i < row.values.size() ? row.values[i] : kNaN;
    }
    std::size_t next = 0;  // the next expression's entry in firstIntegral_
    const auto run = [&](const Expression& e) {
        const std::span<Integral> own =
            std::span(integrals_).subspan(firstIntegral_[next++], e.integrals);
        return calc::evaluate(e, row.time, values_, stack_, own);
    };
    for (std::size_t i = 0; i < channels_.computed.size(); ++i) {
        values_[meters + i] = run(channels_.computed[i].expression);
    }
    for (std::size_t i = 0; i < channels_.limits.size(); ++i) {
        const Limit& limit = channels_.limits[i];
        LimitState& state = states_[i];
        const double value = run(limit.expression);
        state.outside = holds(limit.compare, value, limit.threshold);
        if (!state.outside) {
            state = LimitState{.value = value};
            continue;
        }
        state.value = value;
        if (std::isnan(state.since)) {
            state.since = row.time;
        }
        state.triggered =
            limit.hold == 0.0 || row.time - state.since >= limit.hold - kTimeTolerance;
    }
    return values_;
}

}  // namespace vx::calc
