#pragma once

#include <QComboBox>
#include <QStringList>

#include <span>
#include <string_view>

namespace vx::shell {

// A drop-down list with an edit field. While no entry is chosen the field
// shows the list's prompt ("Select Range"); text the operator types selects
// no entry, so currentIndex() is -1 for typed text even when it happens to
// spell an entry.
class PromptComboBox : public QComboBox {
    Q_OBJECT
    // A property, so that a window's form can set the start prompt.
    Q_PROPERTY(QString prompt READ prompt WRITE showPrompt)
public:
    explicit PromptComboBox(QWidget* parent = nullptr);

    // Chooses no entry and shows `prompt` in the empty field.
    void showPrompt(const QString& prompt);
    QString prompt() const;

    // What the field shows: the typed or chosen text, else the prompt.
    QString fieldText() const;

    // Appends entries at the end without choosing one.
    void appendEntries(std::span<const std::string_view> entries);

    // Removes the entries at indexes count-1 down to 0, then shows `prompt`.
    // Callers pass count(), so the list ends empty, the last entry going first.
    void removeFromEnd(int count, const QString& prompt);

    QStringList entries() const;

    void showPopup() override;

Q_SIGNALS:
    // Raised just before the list of entries drops down.
    void aboutToShowPopup();
};

}  // namespace vx::shell
