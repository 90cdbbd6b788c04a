#include "meter/Commands.h"

#include <algorithm>
#include <span>

namespace vx::meter {

namespace {

bool sameMnemonic(const QString& func, std::string_view mnemonic) {
    return !mnemonic.empty() && func == text(mnemonic);
}

// The first group, in table order, that names `func`.
template <typename Group>
const Group* groupFor(std::span<const Group> groups, const QString& func) {
    const auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
        return std::any_of(g.mnemonics.begin(), g.mnemonics.end(),
                           [&](std::string_view m) { return sameMnemonic(func, m); });
    });
    return it == groups.end() ? nullptr : &*it;
}

QString valueAt(std::span<const std::string_view> values, int index) {
    if (index < 0 || index >= static_cast<int>(values.size())) {
        return {};
    }
    return text(values[static_cast<std::size_t>(index)]);
}

}  // namespace

QString functionLine(const QString& func) {
    return QStringLiteral(":FUNC ") + func;
}

QString secondaryStateLine(bool on) {
    return on ? QStringLiteral(":FUNC2:STAT 1") : QStringLiteral(":FUNC2:STAT 0");
}

std::optional<QString> secondaryText(const QString& func, int index) {
    const SecondaryGroup* group = groupFor(std::span<const SecondaryGroup>(kSecondaryGroups), func);
    if (group == nullptr) {
        return std::nullopt;
    }
    return valueAt(group->texts, index);
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
    const RangeGroup* group = groupFor(std::span<const RangeGroup>(kRangeGroups), func);
    if (group == nullptr) {
        return std::nullopt;
    }
    return func + text(group->infix) + valueAt(group->values, index);
}

QString rangeTypeLine(const QString& func, int index) {
    QString value;
    if (index >= 0 && index < static_cast<int>(kRangeTypeChoices.size())) {
        value = text(kRangeTypeChoices[static_cast<std::size_t>(index)].value);
    }
    return func + text(kRangeTypeInfix) + value;
}

QString rateLine(const QString& func, int index) {
    const QString value = valueAt(kRateNplc, index);
    const bool viaDcVolts = std::any_of(kRateViaDcVolts.begin(), kRateViaDcVolts.end(),
                                        [&](std::string_view m) { return sameMnemonic(func, m); });
    return viaDcVolts ? text(kRateDcVoltsPrefix) + value
                      : QStringLiteral(":") + func + QStringLiteral(":NPLC ") + value;
}

QString triggerLine(int index) {
    QString mnemonic;
    if (index >= 0 && index < static_cast<int>(kTriggerSources.size())) {
        mnemonic = text(kTriggerSources[static_cast<std::size_t>(index)].mnemonic);
    }
    return QStringLiteral(":TRIG:SOUR ") + mnemonic;
}

QString displayLine(int index) {
    return QStringLiteral("DISP:ENAB ") + valueAt(kDisplayWords, index);
}

QString holdLine(bool on) {
    return on ? QStringLiteral("HOLD:STATE ON") : QStringLiteral("HOLD:STATE OFF");
}

std::optional<QString> primaryHeader(const QString& func) {
    for (std::string_view mnemonic : kHeaderLookupOrder) {
        if (sameMnemonic(func, mnemonic)) {
            const auto it = std::find_if(kFunctions.begin(), kFunctions.end(),
                                         [&](const Function& f) { return f.mnemonic == mnemonic; });
            return text(it->header);
        }
    }
    return std::nullopt;
}

}  // namespace vx::meter
