#pragma once

#include <QWidget>

#include "uninstaller/Platform.h"

class QPlainTextEdit;
class QPushButton;

namespace uninstaller {

// The uninstaller's only window: a question and two buttons. Uninstall starts
// the uninstall tool on the installation log and ends the program; Cancel
// and closing the window end it. Ending the program is closing this window,
// the application's last one. In a package install Uninstall starts nothing:
// it says how to remove the package with the package manager.
class Uninstall : public QWidget {
    Q_OBJECT

public:
    Uninstall(ProcessStarter& starter, Directories& directories, Messages& messages,
              QWidget* parent = nullptr);
    Uninstall(ProcessStarter& starter, Directories& directories, Messages& messages,
              Installation installation, QWidget* parent = nullptr);

    void Form_Load();
    void UninstallYes_Click();
    void Cancel_Click();

private:
    void createControls();
    void connectSignals();
    void endProgram();

    ProcessStarter& starter_;
    Directories& directories_;
    Messages& messages_;
    Installation installation_;

    QPlainTextEdit* Text1 = nullptr;
    QPushButton* UninstallYes = nullptr;
    QPushButton* Cancel = nullptr;
};

}  // namespace uninstaller
