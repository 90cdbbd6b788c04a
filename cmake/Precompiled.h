// The headers most of the program's files include, compiled once per build
// for each group of targets (cmake/Precompile.cmake). Each section is there
// only for targets that link the Qt module it names.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#ifdef QT_WIDGETS_LIB
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#endif

// The bulk of QtTest, without <QTest> itself: that header and those it
// includes test the macros of every module a test links.
#ifdef QT_TESTLIB_LIB
#include <QSignalSpy>
#include <QtTest/qtestcase.h>
#include <QtTest/qtestdata.h>
#endif
