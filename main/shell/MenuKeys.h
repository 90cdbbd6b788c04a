#pragma once

#include <QList>

class QAction;
class QWidget;

namespace vx::shell {

// The menu's Ctrl+letter shortcuts work wherever the focus is in `window`: a
// text box would otherwise keep Ctrl+A for selecting its text, and the About
// window could not be opened while the cursor sits in a list. Covers the text
// boxes and lists `window` holds now.
void giveMenuKeysFirst(QWidget* window, const QList<QAction*>& actions);

}  // namespace vx::shell
