#include <QCoreApplication>

#include "App.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    return cli::runApp(QCoreApplication::arguments().mid(1));
}
