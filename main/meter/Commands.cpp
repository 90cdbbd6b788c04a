#include "meter/Commands.h"

#include <algorithm>

namespace vx::meter {

namespace {

// The row of `func`, or null for no function (continuity and diode have
// rows; the empty text before any Set has none).
const Function* functionFor(const QString& func) {
    const auto it = std::find_if(kFunctions.begin(), kFunctions.end(),
                                 [&](const Function& f) { return func == text(f.mnemonic); });
    return it == kFunctions.end() ? nullptr : &*it;
}

// The word of entry `index`; empty for an index without an entry.
QString wordAt(std::span<const Choice> choices, int index) {
    if (index < 0 || index >= static_cast<int>(choices.size())) {
        return {};
    }
    return text(choices[static_cast<std::size_t>(index)].word);
}

std::vector<std::string_view> column(std::span<const Choice> choices,
                                     std::string_view Choice::*field) {
    std::vector<std::string_view> out;
    out.reserve(choices.size());
    for (const Choice& c : choices) {
        out.push_back(c.*field);
    }
    return out;
}

}  // namespace

QString functionLine(const QString& func) {
    return QStringLiteral(":FUNC ") + func;
}

QString secondaryStateLine(bool on) {
    return on ? QStringLiteral(":FUNC2:STAT 1") : QStringLiteral(":FUNC2:STAT 0");
}

std::optional<QString> secondaryText(const QString& func, int index) {
    const Function* f = functionFor(func);
    if (f == nullptr || f->secondaries.empty()) {
        return std::nullopt;
    }
    return wordAt(f->secondaries, index);
}

QString secondaryLine(const QString& secondary) {
    return QStringLiteral(":FUNC2 ") + secondary;
}

const SecondaryUnit* secondaryUnit(const QString& secondary) {
    if (secondary.isEmpty()) {
        return nullptr;
    }
    const auto it =
        std::find_if(kSecondaryUnits.begin(), kSecondaryUnits.end(),
                     [&](const SecondaryUnit& row) { return secondary == text(row.text); });
    return it == kSecondaryUnits.end() ? nullptr : &*it;
}

std::optional<QString> rangeLine(const QString& func, int index) {
    const Function* f = functionFor(func);
    if (f == nullptr || f->ranges.empty()) {
        return std::nullopt;
    }
    return func + text(f->rangeInfix) + wordAt(f->ranges, index);
}

QString rangeTypeLine(const QString& func, int index) {
    return func + QStringLiteral(":RANG:AUTO ") + wordAt(kRangeTypes, index);
}

QString rateLine(const QString& func, int index) {
    const Function* f = functionFor(func);
    const QString target = f != nullptr && !f->rateFunction.empty() ? text(f->rateFunction) : func;
    return QStringLiteral(":") + target + QStringLiteral(":NPLC ") + wordAt(kRates, index);
}

QString triggerLine(int index) {
    return QStringLiteral(":TRIG:SOUR ") + wordAt(kTriggerSources, index);
}

QString displayLine(int index) {
    return QStringLiteral("DISP:ENAB ") + wordAt(kDisplayModes, index);
}

QString holdLine(bool on) {
    return on ? QStringLiteral("HOLD:STATE ON") : QStringLiteral("HOLD:STATE OFF");
}

std::optional<QString> primaryHeader(const QString& func) {
    const Function* f = functionFor(func);
    return f == nullptr ? std::nullopt : std::optional<QString>(text(f->header));
}

std::vector<std::string_view> captions(std::span<const Choice> choices) {
    return column(choices, &Choice::caption);
}

std::vector<std::string_view> words(std::span<const Choice> choices) {
    return column(choices, &Choice::word);
}

}  // namespace vx::meter
