#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Framing of every exchange with the meter. A command is written as one
// string: its text followed at once by the termination character, nothing
// else. A reply is complete once the text collected since the request holds
// the terminator anywhere; the receive side then drops exactly one character
// from the end. With LF as terminator:
//
//   program -> meter   "*IDN?\n"
//   meter -> program   "Velmora,VX480,102345,1.04\n"
//
// Text is single-byte: each character is one byte (Latin-1), so NUL and
// other control bytes pass through unchanged.
namespace vx::link::framing {

// A reply longer than this without its terminator is not a reply: a meter
// streaming without ever ending its line must not grow memory without end.
inline constexpr qsizetype kReplyLimit = 64 * 1024;

QByteArray commandLine(const QString& text, const QString& terminator);

inline bool replyComplete(const QString& collected, const QString& terminator) {
    return !terminator.isEmpty() && collected.contains(terminator);
}

// The collected text without its final character.
inline QString dropLast(const QString& collected) {
    return collected.chopped(collected.isEmpty() ? 0 : 1);
}

// The first character of `text` that a command line cannot carry: the line
// goes out one byte per character (Latin-1), and anything beyond that set
// would reach the meter as '?', a different command from the one typed.
std::optional<char32_t> firstBeyondLatin1(const QString& text);

inline QString fromWire(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

}  // namespace vx::link::framing
