#include "support/EnableRecorder.h"

#include <QEvent>
#include <QLineEdit>

#include <utility>

#include "forms/Main/Main.h"
#include "shell/StatusLamp.h"
#include "support/FakePort.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;

namespace {

QString lampColour(int value) {
    switch (value) {
        case vx::shell::kLampGreen:
            return QStringLiteral("green");
        case vx::shell::kLampRed:
            return QStringLiteral("red");
        default:
            return QString::number(value);
    }
}

}  // namespace

EnableRecorder::EnableRecorder(MainHarness& h, const QStringList& names)
    : h_(h), waitedMs_(h.clock.waitedMs) {
    for (const QString& name : names) {
        QWidget* w = h.w().findChild<QWidget*>(name);
        if (w == nullptr) {
            qFatal("EnableRecorder: the window has no control named %s", qPrintable(name));
        }
        controls_ << w;
        ownEnabled_.insert(w, ownEnabled(w));
        w->installEventFilter(this);
        if (auto* box = qobject_cast<QLineEdit*>(w)) {
            connect(box, &QLineEdit::textChanged, this, [this, name](const QString& text) {
                catchUp();
                record(name + u'=' + text);
            });
        }
        if (auto* lamp = qobject_cast<vx::shell::StatusLamp*>(w)) {
            connect(lamp, &vx::shell::StatusLamp::fillColorChanged, this, [this, name](int value) {
                catchUp();
                record(name + u'=' + lampColour(value));
            });
        }
    }
    h.w().installEventFilter(this);
    connect(&h.w(), &Main::controlEnabledSet, this,
            [this](const QString& name) { noteEnabled(h_.w().findChild<QWidget*>(name)); });
    watchPort(h.port());
    h.opener.onOpened = [this](FakePort* port) { watchPort(port); };
}

EnableRecorder::~EnableRecorder() {
    h_.opener.onOpened = nullptr;
}

QStringList EnableRecorder::take() {
    catchUp();
    return std::exchange(log_, {});
}

bool EnableRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (watched == &h_.w()) {
            catchUp();
            record(h_.w().isEnabled() ? QStringLiteral("idle") : QStringLiteral("busy"));
        } else {
            noteEnabled(static_cast<QWidget*>(watched));
        }
    }
    return false;
}

void EnableRecorder::watchPort(FakePort* port) {
    if (port == nullptr) {
        return;
    }
    connect(port, &FakePort::wrote, this, [this](const QByteArray& bytes) {
        catchUp();
        record(QStringLiteral("wire:") + QString::fromLatin1(bytes));
    });
}

void EnableRecorder::noteEnabled(QWidget* control) {
    if (control == nullptr || !ownEnabled_.contains(control)) {
        return;
    }
    catchUp(control);
    const bool on = ownEnabled(control);
    if (on != ownEnabled_.value(control)) {
        ownEnabled_[control] = on;
        record((on ? u'+' : u'-') + control->objectName());
    }
}

void EnableRecorder::catchUp(QWidget* except) {
    if (h_.clock.waitedMs < waitedMs_) {
        waitedMs_ = 0;  // the test reset the count meanwhile
    }
    if (h_.clock.waitedMs > waitedMs_) {
        log_ << QStringLiteral("wait:%1").arg(h_.clock.waitedMs - waitedMs_);
        waitedMs_ = h_.clock.waitedMs;
    }
    for (const QPointer<QWidget>& w : std::as_const(controls_)) {
        if (w != nullptr && w != except && ownEnabled(w) != ownEnabled_.value(w)) {
            ownEnabled_[w] = ownEnabled(w);
            log_ << (ownEnabled(w) ? u'+' : u'-') + w->objectName();
        }
    }
}

void EnableRecorder::record(const QString& entry) {
    const QString wire = QStringLiteral("wire:");
    if (entry.startsWith(wire) && !log_.isEmpty() && log_.constLast().startsWith(wire)) {
        log_.last() += entry.mid(wire.size());
        return;
    }
    log_ << entry;
}
