#include "shell/Busy.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

namespace vx::shell {

void beginBusy(QWidget* window) {
    window->setEnabled(false);
    if (QApplication::overrideCursor() == nullptr) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
        QApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
    }
}

void endBusy(QWidget* window) {
    window->setEnabled(true);
    while (QApplication::overrideCursor() != nullptr) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace vx::shell
