// The main window's start state. Its layout, captions, prompt texts, tool
// tips, colours, fonts, tab order and which controls start enabled are in the
// form Main.ui; set here is what a form cannot say: the display boxes' widths,
// which follow from their fonts.

#include <QFontMetrics>
#include <QLineEdit>

#include "forms/Main/Main.h"

namespace vx::forms {

namespace {

// Wide enough to show `widest` whole in the box's font.
void fitDisplayBox(QLineEdit* box, const QString& widest) {
    box->setMinimumWidth(QFontMetrics(box->font()).horizontalAdvance(widest) + 16);
}

}  // namespace

void Main::buildUi() {
    setupUi(this);
    const QString reading = QStringLiteral("-8.88888E+88");
    const QString unit = QStringLiteral("AAC");
    fitDisplayBox(PrimaryDisplay, reading);
    fitDisplayBox(PrimaryUnit, unit);
    fitDisplayBox(SecondaryDisplay, reading);
    fitDisplayBox(SecondaryUnit, unit);
}

}  // namespace vx::forms
