#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace corvane {

// Removes every complete terminal escape sequence, in one linear pass:
//  - control sequences: ESC [, parameter bytes 0x30-0x3F, intermediate bytes 0x20-0x2F, one final
//    byte 0x40-0x7E (colours, cursor moves, ESC[?25l);
//  - strings: an operating-system command (ESC ], window titles, links) up to BEL or ST (ESC \);
//    a device control string, start of string, privacy message or application program command
//    (ESC P, ESC X, ESC ^, ESC _) up to ST. Any other ESC, CAN or SUB cancels a string there, as in
//    a terminal: the string goes, CAN and SUB with it, and the ESC starts the next sequence;
//  - other escapes: ESC, intermediate bytes 0x20-0x2F, one final byte 0x30-0x7E (ESC ( B, ESC 7).
// An incomplete sequence (the text ends first) is left as it stands. Everything else, carriage
// returns included, is kept, but for what the terminal itself erased: a move to the first column
// (ESC [ G, ESC [ 1 G) becomes a carriage return, and erasing the whole line (ESC [ 2 K), or the
// rest of it from its first column (ESC [ K after a carriage return), drops the line's text so far.
// The result is never longer than the input.
QString stripControlSequences(QString text);

// Decodes a terminal transcript for display: UTF-8 with ill-formed bytes replaced by U+FFFD,
// escape sequences removed, white space and line breaks trimmed from both ends.
QString cleanTerminalOutput(QByteArrayView bytes);

// The line a person reading the transcript sees last: the text is split at line feeds, a carriage
// return ending a line is dropped, and lines that are empty or blank are skipped. Within the line,
// text after a carriage return overwrote what came before it on the terminal (spinner redraws), so
// the last non-blank such segment is taken. Leading spaces are kept. Empty when no line is left.
// Reads from the end, so its cost is that of the tail it looks at.
QString lastVisibleLine(QStringView text);
// The same; a text that is all one line comes back shared rather than copied.
QString lastVisibleLine(const QString& text);

} // namespace corvane
