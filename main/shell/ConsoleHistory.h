#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QLineEdit;

namespace vx::shell {

// The commands sent from the console in this run of the program, newest
// last, and a walk through them: Up goes back to older commands, Down
// forward again, and one step past the newest gives an empty box for a new
// command.
class ConsoleHistory {
public:
    explicit ConsoleHistory(qsizetype limit = 200) : limit_(limit) {}

    // A command that was sent. An empty one, or one the same as the newest,
    // is not kept again; the walk starts again past the newest either way.
    void add(const QString& command);

    // One step back (-1) or forward (+1): the text the box shows now, or none
    // when the walk is already at that end.
    std::optional<QString> step(int step);

    const QStringList& commands() const { return commands_; }

private:
    qsizetype limit_;
    QStringList commands_;
    qsizetype pos_ = 0;  // commands_.size(): past the newest
};

// Up and Down in `box` walk through `history` (kept by the caller for as
// long as the box lives).
void walkHistoryWithKeys(QLineEdit* box, ConsoleHistory& history);

}  // namespace vx::shell
