#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"

namespace vx::forms {
class About;
class Help;
class Main;
class Trend;
}  // namespace vx::forms

// The main window's state variables, its reply texts, its handlers and its
// secondary windows, for the tests that set, check or run them; Main names
// this class its friend. Made for one statement at a time: MainState(w).running_cnt = 1.
// The controls are reached by their names on the window: combo(w, "Range"),
// button(w, "SetFunc"), lineEdit(w, "StatusBox"), lamp(w, "PortOpenStat"),
// and child<T>(w, "Name") for any other kind.
class MainState {
public:
    explicit MainState(vx::forms::Main& w);

    QString& func;
    QString& tchar;
    qint16& running_cnt;
    qint16& single_read;
    qint16& SendScpi;
    qint16& datalog_start;
    QString& FileToSave;
    QString& func_selection;
    QString& secondfunc_selection;
    QString& portString;
    QString& baudString;
    QString& runBuffer;
    QString& consoleBuffer;
    QString& singleBuffer;

    // Runs the handler `name` ("StopBtn_Click") as its event would, even when
    // its control is disabled, as a test of the handler alone needs.
    void invoke(const char* name);

    bool isEnding() const;
    vx::forms::Trend* trendWindow() const;
    vx::forms::About* aboutWindow() const;
    vx::forms::Help* helpWindow() const;

private:
    vx::forms::Main& w_;
};

// The child of `parent` named `name`, of kind T; ends the test run when there
// is none, naming what was looked for.
template <typename T>
T* child(const QObject& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr) {
        qFatal("%s has no %s named %s", qPrintable(parent.objectName()),
               T::staticMetaObject.className(), qPrintable(name));
    }
    return found;
}

// The window's controls of the kinds the tests use most, by name.
inline vx::shell::PromptComboBox* combo(const QObject& parent, const QString& name) {
    return child<vx::shell::PromptComboBox>(parent, name);
}
inline QPushButton* button(const QObject& parent, const QString& name) {
    return child<QPushButton>(parent, name);
}
inline QLineEdit* lineEdit(const QObject& parent, const QString& name) {
    return child<QLineEdit>(parent, name);
}
inline vx::shell::StatusLamp* lamp(const QObject& parent, const QString& name) {
    return child<vx::shell::StatusLamp>(parent, name);
}

// Whether the control `name` takes clicks now (false too while the window is
// busy), and which of `names` do, in the order given.
inline bool enabled(const QObject& parent, const QString& name) {
    return child<QWidget>(parent, name)->isEnabled();
}
inline QStringList enabledOf(const QObject& parent, const QStringList& names) {
    QStringList on;
    for (const QString& n : names) {
        if (enabled(parent, n)) {
            on << n;
        }
    }
    return on;
}

// Whether a control would take clicks once the window is idle: its own
// enabled state, which Qt keeps in WA_ForceDisabled, not the window's busy
// state.
inline bool ownEnabled(const QWidget* control) {
    return !control->testAttribute(Qt::WA_ForceDisabled);
}
