#include "shell/PromptComboBox.h"
#include "shell/Latin1View.h"

#include <QLineEdit>

namespace vx::shell {

PromptComboBox::PromptComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // With duplicates allowed, Enter in the field never jumps to an entry
    // that spells the same text.
    setDuplicatesEnabled(true);
    setCompleter(nullptr);
    // QComboBox chooses the entry that spells the field's text when editing
    // finishes (Enter, focus out); typed text must choose nothing.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(10);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (currentIndex() == -1) {
            return;
        }
        const int cursor = lineEdit()->cursorPosition();
        setCurrentIndex(-1);
        setEditText(text);
        lineEdit()->setCursorPosition(cursor);
    });
}

void PromptComboBox::showPrompt(const QString& prompt) {
    setPlaceholderText(prompt);
    lineEdit()->setPlaceholderText(prompt);
    setCurrentIndex(-1);
    setEditText(QString());
}

QString PromptComboBox::prompt() const {
    return lineEdit()->placeholderText();
}

QString PromptComboBox::fieldText() const {
    const QString text = currentText();
    return text.isEmpty() ? prompt() : text;
}

void PromptComboBox::appendEntries(std::span<const std::string_view> entries) {
    const int chosen = currentIndex();
    const QString typed = currentText();
    for (std::string_view e : entries) {
        addItem(fromLatin1View(e));
    }
    // Filling an empty list must not choose its first entry.
    if (chosen == -1 && currentIndex() != -1) {
        setCurrentIndex(-1);
        setEditText(typed);
    }
}

void PromptComboBox::removeFromEnd(int count, const QString& prompt) {
    for (int i = count; i > 0; --i) {
        removeItem(i - 1);
    }
    showPrompt(prompt);
}

QStringList PromptComboBox::entries() const {
    QStringList list;
    for (int i = 0; i < count(); ++i) {
        list << itemText(i);
    }
    return list;
}

void PromptComboBox::showPopup() {
    Q_EMIT aboutToShowPopup();
    QComboBox::showPopup();
}

}  // namespace vx::shell
