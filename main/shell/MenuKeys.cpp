#include "shell/MenuKeys.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace vx::shell {

namespace {

class MenuKeysFirst final : public QObject {
public:
    MenuKeysFirst(QObject* parent, QList<QAction*> actions)
        : QObject(parent), actions_(std::move(actions)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(key->keyCombination());
            for (const QAction* action : actions_) {
                if (action->isEnabled() && action->shortcut() == pressed) {
                    // Left unaccepted: the shortcut goes to the menu.
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QAction*> actions_;
};

}  // namespace

void giveMenuKeysFirst(QWidget* window, const QList<QAction*>& actions) {
    auto* menuKeys = new MenuKeysFirst(window, actions);
    // An editable list hands its keys to its text box directly, past any
    // filter there: the list needs the filter as well.
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr) {
            w->installEventFilter(menuKeys);
        }
    }
}

}  // namespace vx::shell
