#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "help/HelpFile.h"

// Help files for the tests are written in a small markup: the six characters
// of `markup` stand for the delimiters D1..D6 of the file, in that order.
namespace helptest {

inline constexpr char kMarkup[] = "{}[]<>";
inline constexpr char kDelimiters[] = "\x01\x02\x03\x04\x05\x06";

// A help file with the given header filler, delimiters and body (in markup).
inline QByteArray helpFile(const QByteArray& body, const QByteArray& delimiters = kDelimiters,
                           char filler = '\0') {
    QByteArray file(static_cast<int>(vx::help::kBodyPosition - 1), filler);
    file.replace(static_cast<int>(vx::help::kFirstDelimiterPosition - 1), 6, delimiters.left(6));
    QByteArray raw = body;
    for (int i = 0; i < 6; ++i) {
        raw.replace(kMarkup[i], delimiters.at(i));
    }
    return file + raw;
}

// Pads a body in markup so that the next byte lands at file position `position`.
inline QByteArray padTo(QByteArray body, std::size_t position) {
    const auto used = static_cast<std::size_t>(body.size()) + vx::help::kBodyPosition - 1;
    return body + QByteArray(static_cast<int>(position - 1 - used), '.');
}

inline std::span<const std::uint8_t> bytesOf(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

// Entries as "T:title" and "S:title=range", joined by "|"; delimiter bytes in
// titles are shown in markup again.
inline QString render(const std::vector<vx::help::HelpEntry>& entries,
                      const QByteArray& delimiters = kDelimiters) {
    QStringList parts;
    for (const auto& entry : entries) {
        QByteArray title = QByteArray::fromStdString(entry.title);
        for (int i = 5; i >= 0; --i) {
            title.replace(delimiters.at(i), QByteArray(1, kMarkup[i]));
        }
        parts << (entry.kind == vx::help::EntryKind::Topic
                      ? QStringLiteral("T:") + QString::fromLatin1(title)
                      : QStringLiteral("S:") + QString::fromLatin1(title) + QLatin1Char('=') +
                            QString::fromStdString(entry.range));
    }
    return parts.join(QLatin1Char('|'));
}

}  // namespace helptest
