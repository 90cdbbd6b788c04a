#include "forms/Help/Help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "help/CodePage.h"
#include "help/HelpFile.h"

namespace vx::forms {

namespace {

constexpr auto kInitialText =
    "HELP MENU\r\n\r\nPlease choose contents on the left for detailed help.";

// Sizes in pixels at 96 dots per inch: the client area, the two frames (their
// widths set the proportions of the split) and the Close button.
constexpr QSize kClientSize{739, 379};
constexpr int kContentsWidth = 305;
constexpr int kDescriptionWidth = 409;
constexpr QSize kCloseSize{65, 25};
constexpr int kIconSize = 24;

enum class Picture { Topic, Subtopic };

// The two node pictures: a closed book for a topic, a written page for a subtopic.
QIcon nodePicture(Picture picture) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    if (picture == Picture::Topic) {
        painter.setBrush(QColor(30, 90, 170));
        painter.drawRoundedRect(QRectF(4.5, 2.5, 15, 19), 2, 2);
        painter.setBrush(QColor(245, 240, 220));
        painter.drawRect(QRectF(17.5, 4.5, 3, 16));
        painter.setPen(QPen(QColor(230, 200, 90), 2));
        painter.drawLine(QPointF(8, 8), QPointF(15, 8));
    } else {
        painter.setBrush(Qt::white);
        painter.drawPolygon(QPolygonF({QPointF(5.5, 2.5), QPointF(14.5, 2.5), QPointF(19.5, 7.5),
                                       QPointF(19.5, 21.5), QPointF(5.5, 21.5)}));
        painter.setPen(QPen(QColor(90, 110, 140), 1));
        for (int y = 10; y <= 18; y += 3) {
            painter.drawLine(QPointF(8, y + 0.5), QPointF(17, y + 0.5));
        }
    }
    return QIcon(pixmap);
}

QString fromHelpBytes(std::span<const std::uint8_t> bytes) {
    return QString::fromStdU16String(help::windows1252ToUtf16(bytes));
}

}  // namespace

Help::Help(QWidget* parent) : Help(programHelpFile(), parent) {}

QString Help::locateHelpFile(const QString& programDir) {
    const QDir folder(programDir);
    const QString beside = folder.filePath(QStringLiteral("Help.mhf"));
    const QString installed =
        QDir::cleanPath(folder.filePath(QStringLiteral("../share/vxmeter/Help.mhf")));
    return !QFileInfo::exists(beside) && QFileInfo::exists(installed) ? installed : beside;
}

QString Help::programHelpFile() {
    return locateHelpFile(QCoreApplication::applicationDirPath());
}

Help::Help(const QString& helpPath, QWidget* parent)
    : QWidget(parent, Qt::Window), helpPath_(helpPath) {
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QStringLiteral("Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    connectSignals();
    Form_Load();
}

void Help::buildControls() {
    auto* contents = new QGroupBox(QStringLiteral("Contents"), this);
    TreeView1 = new QTreeWidget(contents);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIconSize(QSize(kIconSize, kIconSize));
    TreeView1->setRootIsDecorated(true);
    auto* contentsLayout = new QVBoxLayout(contents);
    contentsLayout->addWidget(TreeView1);

    auto* description = new QGroupBox(QStringLiteral("Description"), this);
    Text1 = new QPlainTextEdit(QStringLiteral("Text1"), description);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setFont(QFont(QStringLiteral("MS Sans Serif"), 12));
    auto* descriptionLayout = new QVBoxLayout(description);
    descriptionLayout->addWidget(Text1);

    CloseBtn = new QPushButton(QStringLiteral("Close"), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    CloseBtn->setMinimumSize(kCloseSize);

    auto* frames = new QHBoxLayout;
    frames->addWidget(contents, kContentsWidth);
    frames->addWidget(description, kDescriptionWidth);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CloseBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 16, 10, 10);
    layout->addLayout(frames, 1);
    layout->addLayout(buttons);
    resize(kClientSize);
}

void Help::connectSignals() {
    connect(TreeView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node, int) { TreeView1_NodeClick(node); });
    // Enter on a node shows it as a click does, for operators who use the keyboard.
    connect(TreeView1, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* node, int) { TreeView1_NodeClick(node); });
    connect(CloseBtn, &QPushButton::clicked, this, &Help::CloseBtn_Click);
}

void Help::Form_Load() {
    TreeView1->clear();
    auto file = help::readFileBytes(QFile::encodeName(helpPath_).toStdString());
    helpBytes = std::move(file.bytes);
    help::HelpParse parse;
    if (file.ok()) {
        parse = help::parseHelp(helpBytes);
    }
    const QString error = QString::fromStdString(file.ok() ? parse.error : file.error);
    if (!error.isEmpty()) {
        helpBytes.clear();
        Text1->setPlainText(QStringLiteral("The help file could not be read.\r\n\r\n"
                                           "Looked for: %1\r\nReason: %2")
                                .arg(QDir::toNativeSeparators(helpPath_), error));
        return;
    }

    const QIcon topicPicture = nodePicture(Picture::Topic);
    const QIcon subtopicPicture = nodePicture(Picture::Subtopic);
    QTreeWidgetItem* topicNode = nullptr;
    std::vector<QTreeWidgetItem*> subtopicNodes;
    for (const help::HelpEntry& entry : parse.entries) {
        const QString title = fromHelpBytes(
            {reinterpret_cast<const std::uint8_t*>(entry.title.data()), entry.title.size()});
        if (entry.kind == help::EntryKind::Topic) {
            topicNode = new QTreeWidgetItem(TreeView1, QStringList{title});
            topicNode->setIcon(0, topicPicture);
            topicNode->setData(0, kTagRole, QString());
        } else if (topicNode != nullptr) {
            auto* node = new QTreeWidgetItem(topicNode, QStringList{title});
            node->setIcon(0, subtopicPicture);
            node->setData(0, kTagRole, QString::fromStdString(entry.range));
        }
    }
    TreeView1->collapseAll();
    Text1->setPlainText(QString::fromLatin1(kInitialText));
}

void Help::TreeView1_NodeClick(QTreeWidgetItem* node) {
    Text1->clear();
    if (node == nullptr) {
        return;
    }
    const std::string tag = node->data(0, kTagRole).toString().toStdString();
    if (tag.empty()) {
        return;
    }
    const auto bytes = help::rangeBytes(helpBytes, tag);
    if (bytes.empty()) {
        return;
    }
    Text1->setPlainText(fromHelpBytes(bytes));
    QTextCursor caret = Text1->textCursor();
    caret.setPosition(1);
    Text1->setTextCursor(caret);
    Text1->verticalScrollBar()->setValue(0);
}

void Help::CloseBtn_Click() {
    close();
}

}  // namespace vx::forms
