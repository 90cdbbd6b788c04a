#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vx::forms {

// The About window: the maker's logo and name and the program version.
// Closing it deletes it (Qt::WA_DeleteOnClose).
class About : public QWidget {
    Q_OBJECT

public:
    explicit About(QWidget* parent = nullptr);

public slots:
    void Form_Load();
    void CloseBtn_Click();

private:
    void buildControls();

    QLabel* Image1 = nullptr;
    QFrame* Shape1 = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* CloseBtn = nullptr;
};

}  // namespace vx::forms
