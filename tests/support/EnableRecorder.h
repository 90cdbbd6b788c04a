#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class FakePort;
class MainHarness;
class QWidget;

// Records, in the order they happen, the effects of the window's handlers
// that an operator or the meter would notice:
//
//   "+Run", "-Range"          a named control enabled or disabled
//   "InstrID=Ready"           a named text box's new text
//   "PortOpenStat=green"      a named lamp's new colour ("red", or the value)
//   "wire:*IDN?\n"            bytes written to the port (one entry for
//                             writes with nothing else between them)
//   "busy", "idle"            the whole window disabled or enabled again
//   "wait:2000"               milliseconds waited on the fake clock
//
// An enable change is recorded when a control's own state changes. While
// the window is busy Qt tells the control nothing; then the window's
// controlEnabledSet() signal places the change, and a change made any other
// way shows up before the next recorded effect.
class EnableRecorder : public QObject {
public:
    EnableRecorder(MainHarness& h, const QStringList& names);
    ~EnableRecorder() override;

    // Everything recorded since the last call.
    QStringList take();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchPort(FakePort* port);
    void noteEnabled(QWidget* control);
    // Records waits and silent enable changes (other than `except`) that
    // happened before the effect about to be recorded.
    void catchUp(QWidget* except = nullptr);
    void record(const QString& entry);

    MainHarness& h_;
    QList<QPointer<QWidget>> controls_;
    QHash<QWidget*, bool> ownEnabled_;
    QStringList log_;
    qint64 waitedMs_ = 0;
};
