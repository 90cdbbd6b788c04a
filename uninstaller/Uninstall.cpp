#include "uninstaller/Uninstall.h"

#include "uninstaller/Platform.h"
#include "uninstaller/UninstallCommand.h"

#include <QColor>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QTextDocument>

#include <utility>

namespace uninstaller {

namespace {

constexpr auto kCaption = "Uninstall DMM Software";
constexpr auto kQuestion = "Do you want to uninstall VX260 VX480 DMM Software?";
constexpr auto kNoToolFolder =
    "The folder of the uninstall tool could not be determined.\n"
    "Nothing has been uninstalled.";
constexpr auto kPackageInstall =
    "VX260 VX480 DMM Software was installed as the package \"%1\" and is removed\n"
    "with the package manager, for example:\n\n"
    "    sudo apt remove %1\n\n"
    "Nothing has been uninstalled.";
constexpr auto kNotStarted =
    "The uninstall tool could not be started:\n%1\n%2\n"
    "Nothing has been uninstalled.";

// Pixels at 96 dots per inch.
constexpr QSize kClientSize{317, 107};

struct Place {
    const char* objectName;
    QRect geometry;
};

constexpr Place kText1{"Text1", {24, 16, 265, 33}};
constexpr Place kUninstallYes{"UninstallYes", {64, 64, 81, 33}};
constexpr Place kCancel{"Cancel", {160, 64, 81, 33}};

constexpr QColor kLightGrey{224, 224, 224};

template <typename Control>
Control* place(QWidget* parent, const Place& where) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(where.objectName));
    control->setGeometry(where.geometry);
    return control;
}

}  // namespace

Uninstall::Uninstall(ProcessStarter& starter, Directories& directories, Messages& messages,
                     QWidget* parent)
    : Uninstall(starter, directories, messages, Installation{}, parent) {}

Uninstall::Uninstall(ProcessStarter& starter, Directories& directories, Messages& messages,
                     Installation installation, QWidget* parent)
    : QWidget(parent),
      starter_(starter),
      directories_(directories),
      messages_(messages),
      installation_(std::move(installation)) {
    createControls();
    connectSignals();
    Form_Load();
}

void Uninstall::createControls() {
    setObjectName(QStringLiteral("Uninstall"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setFixedSize(kClientSize);

    // A read-only box of two wrapped lines: the question is wider than the box.
    Text1 = place<QPlainTextEdit>(this, kText1);
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->document()->setDocumentMargin(1);
    QPalette palette = Text1->palette();
    palette.setColor(QPalette::Base, kLightGrey);
    Text1->setPalette(palette);

    UninstallYes = place<QPushButton>(this, kUninstallYes);
    UninstallYes->setText(QStringLiteral("Uninstall"));

    Cancel = place<QPushButton>(this, kCancel);
    Cancel->setText(QStringLiteral("Cancel"));

    setTabOrder(UninstallYes, Cancel);
    UninstallYes->setFocus();
}

void Uninstall::connectSignals() {
    connect(UninstallYes, &QPushButton::clicked, this, &Uninstall::UninstallYes_Click);
    connect(Cancel, &QPushButton::clicked, this, &Uninstall::Cancel_Click);
}

void Uninstall::Form_Load() {
    Text1->setPlainText(QString::fromLatin1(kQuestion));
}

void Uninstall::UninstallYes_Click() {
    // The package manager keeps its own record of a package's files: removing
    // them behind its back would leave that record wrong.
    if (!installation_.packageName.isEmpty()) {
        messages_.information(this, QString::fromLatin1(kCaption),
                              QString::fromLatin1(kPackageInstall).arg(installation_.packageName));
        endProgram();
        return;
    }
    const QString windows = directories_.windowsDirectory();
    if (windows.isEmpty()) {
        messages_.error(this, QString::fromLatin1(kCaption), QString::fromLatin1(kNoToolFolder));
        endProgram();
        return;
    }
    const UninstallCommand command =
        buildUninstallCommand(windows, directories_.programDirectory());
    const StartResult result = starter_.startDetached(command);
    if (!result.started) {
        messages_.error(this, QString::fromLatin1(kCaption),
                        QString::fromLatin1(kNotStarted).arg(command.commandLine(), result.error));
    }
    endProgram();
}

void Uninstall::Cancel_Click() {
    endProgram();
}

void Uninstall::endProgram() {
    close();
}

}  // namespace uninstaller
