#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

#include <functional>
#include <optional>
#include <utility>

#include "shell/Dialogs.h"

// Answers the program's message boxes and save dialogs at once and keeps
// what was asked.
class RecordingDialogs final : public vx::shell::Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    void message(QWidget*, const QString& text, const QString& title, Icon icon) override {
        messages.append({text, title, icon});
        if (onMessage) {
            onMessage(messages.constLast());
        }
    }

    std::optional<QString> saveFileName(QWidget*,
                                        const vx::shell::SaveFileRequest& request) override {
        saveRequests.append(request);
        if (saveAnswers.isEmpty()) {
            return std::nullopt;
        }
        return saveAnswers.takeFirst();
    }

    QList<Message> messages;
    std::function<void(const Message&)> onMessage;
    QList<vx::shell::SaveFileRequest> saveRequests;
    // Paths the save dialog answers with, in turn; an empty list cancels.
    QList<std::optional<QString>> saveAnswers;
};

// Answers every save dialog with one path and prints message boxes to
// stderr; for programs that drive the window without a person.
class FixedDialogs final : public vx::shell::Dialogs {
public:
    explicit FixedDialogs(QString path) : path_(std::move(path)) {}
    void message(QWidget*, const QString& text, const QString& title, Icon) override {
        std::fprintf(stderr, "message %s: %s\n", qPrintable(title), qPrintable(text));
    }
    std::optional<QString> saveFileName(QWidget*, const vx::shell::SaveFileRequest&) override {
        return path_;
    }

private:
    QString path_;
};
