// The View and Help menus. Each opens one modeless window; asking again
// shows the same window rather than a second one.

#include <QLineEdit>

#include "About.h"
#include "Help.h"
#include "Main.h"
#include "StatusLamp.h"
#include "Trend.h"

namespace {

void bringForward(QWidget* w) {
    w->show();
    w->raise();
    w->activateWindow();
}

}  // namespace

void Main::mnuAbout_Click() {
    if (about_.isNull()) {
        about_ = new About();
    }
    bringForward(about_);
}

void Main::mnuSeeHelp_Click() {
    if (help_.isNull()) {
        const QString path = helpFilePath_.isEmpty() ? Help::programHelpFile() : helpFilePath_;
        help_ = new Help(path);
    }
    bringForward(help_);
}

void Main::mnuTrend_Click() {
    bringForward(trend_.get());
}

// The Trend window exists from the start, hidden, so it holds every reading
// of the session whenever it is first opened.
void Main::createTrend() {
    trend_ = std::make_unique<Trend>(dialogs_);
    connect(this, &Main::readingShown, trend_.get(),
            [this](const QDateTime& when, const QString& reply, bool secondaryOn) {
                trend_->addReading(when, reply, secondaryOn, func, PrimaryUnit->text(),
                                   SecondaryUnit->text());
            });
}

Trend* Main::trendWindow() const {
    return trend_.get();
}
About* Main::aboutWindow() const {
    return about_.data();
}
Help* Main::helpWindow() const {
    return help_.data();
}
