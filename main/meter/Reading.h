#pragma once

#include <QString>

#include <optional>

namespace vx::meter {

// What a reading measures: the primary function's mnemonic ("VOLT:DC") and
// the units the display boxes show beside the values ("VDC", "Hz").
struct Measure {
    QString function;
    QString primaryUnit;
    QString secondaryUnit;
};

// One reading reply as the display boxes show it.
struct Reading {
    QString primary;
    // None while the secondary display is off. With it on, the text after
    // the reply's first comma, or empty when the reply has no comma.
    std::optional<QString> secondary;
    Measure measure;
};

// Splits a complete reply (without its terminator) at its first comma while
// the secondary display is on: "+1.5E+00,+1.0E+03" gives "+1.5E+00" and
// "+1.0E+03", and a second comma stays in the secondary text. With the
// display off the whole reply, commas included, is the primary text.
Reading splitReply(const QString& reply, bool secondaryOn, Measure measure = {});

}  // namespace vx::meter
