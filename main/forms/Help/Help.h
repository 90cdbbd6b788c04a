#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vx::forms {

// The Help window: the contents tree of the help file on the left, the text of
// the chosen subtopic on the right. Each window reads the file afresh when it
// is created; closing it deletes it (Qt::WA_DeleteOnClose).
class Help : public QWidget {
    Q_OBJECT

public:
    // Reads the program's help file, as locateHelpFile() finds it.
    explicit Help(QWidget* parent = nullptr);
    // Reads the help file at helpPath.
    explicit Help(const QString& helpPath, QWidget* parent = nullptr);

    QString helpPath() const { return helpPath_; }

    // The help file of the program in `programDir`: Help.mhf beside the
    // program (the build tree and a prefix install), else the one of a
    // package install in ../share/vxmeter from the program's folder. When
    // neither exists, the path beside the program, which the error names.
    static QString locateHelpFile(const QString& programDir);
    // locateHelpFile() for the running program.
    static QString programHelpFile();

    // Node tags (the range text of a subtopic) are kept in this role.
    static constexpr int kTagRole = Qt::UserRole;

public slots:
    void Form_Load();
    void TreeView1_NodeClick(QTreeWidgetItem* node);
    void CloseBtn_Click();

private:
    void buildControls();
    void connectSignals();

    QString helpPath_;
    std::vector<std::uint8_t> helpBytes;
    QTreeWidget* TreeView1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* CloseBtn = nullptr;
};

}  // namespace vx::forms
