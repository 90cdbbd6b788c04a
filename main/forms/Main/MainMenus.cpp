// The View and Help menus. Each opens one modeless window; asking again
// shows the same window rather than a second one.

#include "forms/About/About.h"
#include "forms/Help/Help.h"
#include "forms/Main/Main.h"
#include "forms/Trend/Trend.h"

namespace vx::forms {

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
    bringForward(trendWindow());
}

// The Trend window keeps every reading of the session from the first one on,
// whenever it is first opened. Its plot takes a while to build, so it is made
// when the first reading arrives or the menu asks for it, not while the main
// window starts.
void Main::createTrend() {
    connect(this, &Main::readingShown, this,
            [this](const QDateTime& when, const QString&, const meter::Reading& reading) {
                trendWindow()->addReading(when, reading);
            });
}

Trend* Main::trendWindow() const {
    if (!trend_) {
        trend_ = std::make_unique<Trend>(dialogs_);
    }
    return trend_.get();
}
About* Main::aboutWindow() const {
    return about_.data();
}
Help* Main::helpWindow() const {
    return help_.data();
}

}  // namespace vx::forms
