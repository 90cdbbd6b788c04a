#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace vx::shell {

// What the save dialog is asked for. `filter` is a list of description and
// pattern pairs separated by "|", as in "CSV(*.csv)|*.csv|All Files(*.*)|*.*".
struct SaveFileRequest {
    QString title;
    QString filter;
    QString initialDir;
    QString fileName;
    // Ask before an existing file is replaced. Logs are appended to, so
    // their dialog does not ask.
    bool confirmOverwrite = false;
};

// The platform's message boxes and save-file dialog, behind one small layer
// so tests can answer them without a modal window waiting.
class Dialogs {
public:
    enum class Icon { Information, Exclamation, Critical };

    virtual ~Dialogs() = default;

    // A modal box with `text`, `title`, `icon` and an OK button.
    virtual void message(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;

    // The modal save dialog; no value when the operator cancels.
    virtual std::optional<QString> saveFileName(QWidget* parent,
                                                const SaveFileRequest& request) = 0;
};

class QtDialogs final : public Dialogs {
public:
    void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    std::optional<QString> saveFileName(QWidget* parent, const SaveFileRequest& request) override;
};

// "CSV(*.csv)|*.csv|Logs|*.log" -> "CSV(*.csv);;Logs (*.log)"
QString qtFileFilter(const QString& pairs);

// The initial directory when it exists, else the user's documents folder.
QString existingDirOrDocuments(const QString& dir);

}  // namespace vx::shell
