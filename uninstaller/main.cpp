#include "uninstaller/Platform.h"
#include "uninstaller/Uninstall.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    uninstaller::SystemDirectories directories;
    uninstaller::DetachedProcessStarter starter;
    uninstaller::MessageBoxes messages;
    uninstaller::Uninstall window(starter, directories, messages, uninstaller::ThisInstallation());
    window.show();
    return QApplication::exec();
}
