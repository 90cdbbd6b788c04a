#pragma once

class QWidget;

namespace vx::shell {

// Disables the whole window (controls and menu) and shows the hourglass.
// There is no count: one endBusy undoes any number of beginBusy calls.
void beginBusy(QWidget* window);
void endBusy(QWidget* window);

}  // namespace vx::shell
