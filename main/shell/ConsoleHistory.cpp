#include "shell/ConsoleHistory.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace vx::shell {

namespace {

class HistoryKeys final : public QObject {
public:
    HistoryKeys(QLineEdit* box, ConsoleHistory& history)
        : QObject(box), box_(box), history_(history) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
                if (key->key() == Qt::Key_Up) {
                    recall(-1);
                    return true;
                }
                if (key->key() == Qt::Key_Down) {
                    recall(+1);
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void recall(int step) {
        if (const std::optional<QString> text = history_.step(step)) {
            box_->setText(*text);
        }
    }

    QLineEdit* box_;
    ConsoleHistory& history_;
};

}  // namespace

void ConsoleHistory::add(const QString& command) {
    if (!command.isEmpty() && (commands_.isEmpty() || commands_.constLast() != command)) {
        commands_.append(command);
        if (commands_.size() > limit_) {
            commands_.removeFirst();
        }
    }
    pos_ = commands_.size();
}

std::optional<QString> ConsoleHistory::step(int step) {
    const qsizetype count = commands_.size();
    const qsizetype pos = std::clamp<qsizetype>(pos_ + step, 0, count);
    if (count == 0 || pos == pos_) {
        return std::nullopt;
    }
    pos_ = pos;
    return pos < count ? commands_.at(pos) : QString();
}

void walkHistoryWithKeys(QLineEdit* box, ConsoleHistory& history) {
    box->installEventFilter(new HistoryKeys(box, history));
}

}  // namespace vx::shell
