#include "support/MainState.h"

#include <QMetaObject>

#include "forms/Main/Main.h"

using vx::forms::About;
using vx::forms::Help;
using vx::forms::Main;
using vx::forms::Trend;

MainState::MainState(Main& w)
    : func(w.func),
      tchar(w.tchar),
      running_cnt(w.running_cnt),
      single_read(w.single_read),
      SendScpi(w.SendScpi),
      datalog_start(w.datalog_start),
      FileToSave(w.FileToSave),
      func_selection(w.func_selection),
      secondfunc_selection(w.secondfunc_selection),
      portString(w.portString),
      baudString(w.baudString),
      runBuffer(w.runBuffer),
      consoleBuffer(w.consoleBuffer),
      singleBuffer(w.singleBuffer),
      w_(w) {}

void MainState::invoke(const char* name) {
    if (!QMetaObject::invokeMethod(&w_, name, Qt::DirectConnection)) {
        qFatal("Main has no handler %s", name);
    }
}

bool MainState::isEnding() const {
    return w_.isEnding();
}

Trend* MainState::trendWindow() const {
    return w_.trendWindow();
}

About* MainState::aboutWindow() const {
    return w_.aboutWindow();
}

Help* MainState::helpWindow() const {
    return w_.helpWindow();
}
