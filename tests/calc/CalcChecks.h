#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calc/Channels.h"
#include "calc/Parser.h"

// What must hold for computed channels and limits read from any bytes at
// all; shared by the fuzzer and by the test that replays its saved inputs.
//
// The bytes are lines: a line starting with '!' is a --limit text, any other
// a --calc text, over the meters V, I and T. Each line is also read raw, as
// a definition and as a limit, against the meters alone.
namespace calctest {

inline const QStringList kMeters{QStringLiteral("V"), QStringLiteral("I"), QStringLiteral("T")};
inline constexpr std::size_t kMaxLines = 32;

struct TestRow {
    double time;
    std::array<double, 3> values;
};

// Missing values, signs, zero, huge values, uneven times, a time that goes back.
inline constexpr double kNaN = vx::calc::kNaN;
inline constexpr std::array<TestRow, 8> kRows{{
    {0.0, {12.0, 2.0, 25.0}},
    {0.5, {-3.0, 0.0, kNaN}},
    {0.5, {kNaN, kNaN, kNaN}},
    {2.0, {1e300, -1e300, 1e-300}},
    {1.0, {0.0, -0.5, 7.0}},
    {86'400.0, {11.0, 2.5, -40.0}},
    {86'400.25, {11.0, kNaN, 3.0}},
    {1e9, {12.5, 2.0, 0.0}},
}};

inline bool finiteOrNaN(double v) {
    return std::isfinite(v) || std::isnan(v);
}

// The fault of the steps of an expression over `channels` channels, or "".
inline std::string brokenProgram(const vx::calc::Expression& e, std::size_t channels) {
    using vx::calc::Op;
    std::size_t height = 0;
    std::size_t most = 0;
    std::vector<bool> integrals(e.integrals, false);
    for (const vx::calc::Step& s : e.steps) {
        std::size_t takes = 1;
        std::size_t gives = 1;
        switch (s.op) {
            case Op::Number:
                takes = 0;
                if (!std::isfinite(s.number)) {
                    return "number not finite";
                }
                break;
            case Op::Channel:
                takes = 0;
                if (s.index >= channels) {
                    return "channel index";
                }
                break;
            case Op::Add:
            case Op::Subtract:
            case Op::Multiply:
            case Op::Divide:
            case Op::Power:
                takes = 2;
                break;
            case Op::Min:
            case Op::Max:
                takes = s.index;
                if (takes == 0) {
                    return "extreme of nothing";
                }
                break;
            case Op::Integral:
                if (s.index >= integrals.size() || integrals[s.index]) {
                    return "integral slot";
                }
                integrals[s.index] = true;
                break;
            default:
                break;
        }
        if (height < takes) {
            return "stack underflow";
        }
        height = height - takes + gives;
        most = std::max(most, height);
    }
    if (height != 1 || most != e.stack) {
        return "stack height";
    }
    for (const bool used : integrals) {
        if (!used) {
            return "integral slot unused";
        }
    }
    return {};
}

// A message's "(column N)" must point into the text or just past it.
inline std::string brokenColumn(const std::string& error, std::size_t size) {
    if (error.empty()) {
        return "empty error";
    }
    const std::size_t at = error.rfind("(column ");
    if (at == std::string::npos) {
        return {};
    }
    const long column = std::strtol(error.c_str() + at + 8, nullptr, 10);
    return column >= 1 && std::size_t(column) <= size + 1 ? std::string() : "column";
}

inline std::string brokenRaw(std::string_view line) {
    std::vector<std::string> meters;
    for (const QString& m : kMeters) {
        meters.push_back(m.toStdString());
    }
    const vx::calc::Scope scope{.channels = meters};
    std::vector<double> stack;
    std::vector<vx::calc::Integral> integrals;
    const auto evaluates = [&](const vx::calc::Expression& e) {
        stack.assign(e.stack, 0.0);
        integrals.assign(e.integrals, {});
        for (const TestRow& row : kRows) {
            if (!finiteOrNaN(vx::calc::evaluate(e, row.time, row.values, stack, integrals))) {
                return false;
            }
        }
        return true;
    };

    const vx::calc::ParsedDefinition d = vx::calc::parseDefinition(line, scope);
    if (d.error.empty()) {
        if (std::string why = brokenProgram(d.expression, meters.size()); !why.empty()) {
            return "definition: " + why;
        }
        if (d.name != vx::calc::definedName(line) || !evaluates(d.expression)) {
            return "definition";
        }
    } else if (!brokenColumn(d.error, line.size()).empty()) {
        return "definition column";
    }
    const vx::calc::ParsedLimit l = vx::calc::parseLimit(line, scope);
    if (l.error.empty()) {
        if (std::string why = brokenProgram(l.expression, meters.size()); !why.empty()) {
            return "limit: " + why;
        }
        if (!evaluates(l.expression)) {
            return "limit values";
        }
        if (!l.hold.empty() &&
            (l.holdColumn < 1 || l.holdColumn - 1 + l.hold.size() > line.size() ||
             line.substr(l.holdColumn - 1, l.hold.size()) != l.hold)) {
            return "limit hold text";
        }
    } else if (!brokenColumn(l.error, line.size()).empty()) {
        return "limit column";
    }
    return {};
}

// The values of every row, as bits, and the limits' states.
inline std::string trace(vx::calc::Evaluator& evaluator) {
    std::string out;
    for (const TestRow& row : kRows) {
        for (const double v : evaluator.evaluate({.time = row.time, .values = row.values})) {
            out += std::to_string(std::bit_cast<std::uint64_t>(v)) + ' ';
        }
        for (const vx::calc::LimitState& s : evaluator.limits()) {
            out += s.outside ? 'o' : '.';
            out += s.triggered ? 'T' : '.';
        }
        out += '\n';
    }
    return out;
}

inline std::string brokenChannels(const QStringList& calcs, const QStringList& limits) {
    vx::calc::ReadChannels read = vx::calc::readChannels(kMeters, calcs, limits);
    if (!read.error.isEmpty()) {
        return read.error.startsWith(QStringLiteral("--calc \"")) ||
                       read.error.startsWith(QStringLiteral("--limit \""))
                   ? std::string()
                   : "error without its option";
    }
    const vx::calc::ChannelSet& set = read.channels;
    if (set.meters != kMeters.size() || set.names.size() != kMeters.size() + calcs.size() ||
        set.computed.size() != std::size_t(calcs.size()) ||
        set.limits.size() != std::size_t(limits.size())) {
        return "channel count";
    }
    for (const vx::calc::Limit& limit : set.limits) {
        if (!(limit.hold >= 0.0 && limit.hold <= vx::calc::kMaxHold)) {
            return "hold";
        }
    }
    vx::calc::Evaluator first(set);
    for (const TestRow& row : kRows) {
        const std::span<const double> values =
            first.evaluate({.time = row.time, .values = row.values});
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!finiteOrNaN(values[i])) {
                return "value not finite";
            }
            if (i < row.values.size() && std::bit_cast<std::uint64_t>(values[i]) !=
                                             std::bit_cast<std::uint64_t>(row.values[i])) {
                return "meter value";
            }
        }
        for (std::size_t i = 0; i < set.limits.size(); ++i) {
            const vx::calc::LimitState& s = first.limits()[i];
            if ((s.triggered && !s.outside) || s.outside == std::isnan(s.since) ||
                (set.limits[i].hold == 0.0 && s.triggered != s.outside)) {
                return "limit state";
            }
        }
    }
    vx::calc::Evaluator once(set);
    vx::calc::Evaluator again(set);
    if (trace(once) != trace(again)) {
        return "evaluation not repeatable";
    }
    return {};
}

// The first rule the bytes break, or an empty text.
inline std::string brokenRule(std::string_view bytes) {
    QStringList calcs;
    QStringList limits;
    std::size_t lines = 0;
    while (!bytes.empty() && lines++ < kMaxLines) {
        const std::size_t end = std::min(bytes.find('\n'), bytes.size());
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        if (std::string why = brokenRaw(line); !why.empty()) {
            return why;
        }
        const QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
        if (text.startsWith(QLatin1Char('!'))) {
            limits.append(text.mid(1));
        } else {
            calcs.append(text);
        }
    }
    return brokenChannels(calcs, limits);
}

}  // namespace calctest
