#pragma once

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <optional>

#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "support/ControlNames.h"
#include "support/EnableRecorder.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

// FuncBox entries as the window fills them.
enum FuncIndex {
    kContinuity = 0,
    kDiode = 1,
    kFrequency = 2,
    kPeriod = 3,
    kResistance = 4,
    kAcCurrent = 5,
    kDcCurrent = 6,
    kAcVoltage = 7,
    kDcVoltage = 8,
};

// Chooses FuncBox entry `index` and presses its Set button; returns what
// went out on the wire.
inline QByteArray setFunction(MainHarness& h, int index) {
    combo(h.w(), "FuncBox")->setCurrentIndex(index);
    button(h.w(), "SetFunc")->click();
    return h.takeWire();
}

// Connects and sets FuncBox entry `index`; false when the port would not
// open.
inline bool connectWithFunction(MainHarness& h, int index) {
    if (!h.connect()) {
        return false;
    }
    setFunction(h, index);
    return true;
}

// Text typed into a list's field: no entry is chosen.
inline void typeInto(vx::shell::PromptComboBox* box, const QString& text) {
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

// Chooses entry `index`, or types text when `index` is -1.
inline void choose(vx::shell::PromptComboBox* box, int index) {
    if (index < 0) {
        typeInto(box, QStringLiteral("typed text"));
    } else {
        box->setCurrentIndex(index);
    }
}

// A control's own enabled state by name (see ownEnabled); false when the
// window has no such control.
inline bool ownEnabled(const vx::forms::Main& w, const QString& name) {
    const QWidget* c = w.findChild<QWidget*>(name);
    return c != nullptr && ownEnabled(c);
}

inline QStringList ownEnabledOf(const vx::forms::Main& w, const QStringList& names) {
    QStringList on;
    for (const QString& n : names) {
        if (ownEnabled(w, n)) {
            on << n;
        }
    }
    return on;
}

inline void setAll(vx::forms::Main& w, const QStringList& names, bool enabled) {
    for (const QString& n : names) {
        w.findChild<QWidget*>(n)->setEnabled(enabled);
    }
}

// Entries chosen in the configuration group before a test presses its Set
// buttons; a list or box left out keeps what it has.
struct ConfigChoices {
    std::optional<int> range{};
    std::optional<int> rangeType{};
    std::optional<int> rate{};
    std::optional<int> trigger{};
    std::optional<int> display{};
    std::optional<int> funcTwo{};
    std::optional<int> refMethod{};
    std::optional<QString> ref{};
};

inline void chooseConfig(vx::forms::Main& w, const ConfigChoices& c) {
    const std::pair<const char*, const std::optional<int>&> lists[] = {
        {"Range", c.range},        {"RangeType", c.rangeType}, {"Rate", c.rate},
        {"Trigger", c.trigger},    {"Display", c.display},     {"FuncBoxTwo", c.funcTwo},
        {"RefMethod", c.refMethod}};
    for (const auto& [name, index] : lists) {
        if (index) {
            combo(w, name)->setCurrentIndex(*index);
        }
    }
    if (c.ref) {
        lineEdit(w, "Ref")->setText(*c.ref);
    }
}

// Connects, sets DC voltage, makes the choices and leaves every control of
// the group usable, so that a press goes through its button; false when the
// port would not open.
inline bool connectWithConfig(MainHarness& h, const ConfigChoices& c) {
    if (!connectWithFunction(h, kDcVoltage)) {
        return false;
    }
    chooseConfig(h.w(), c);
    setAll(h.w(), kConfigControls, true);
    return true;
}
