#pragma once

#include <QString>
#include <QStringView>

namespace corvane {

// Removes every complete terminal escape sequence, in one pass:
//  - control sequences: ESC [, parameter bytes 0x30-0x3F, intermediate bytes 0x20-0x2F, one final
//    byte 0x40-0x7E (colours, cursor moves, ESC[?25l);
//  - operating-system commands: ESC ], anything, up to BEL or ESC \ (window titles, links);
//  - other escapes: ESC, intermediate bytes 0x20-0x2F, one final byte 0x30-0x7E (ESC ( B, ESC 7).
// An incomplete sequence is left as it stands. Everything else, carriage returns included, is
// kept.
QString stripControlSequences(QStringView text);

// Decodes a terminal transcript for display: UTF-8 with ill-formed bytes replaced by U+FFFD,
// escape sequences removed, white space and line breaks trimmed from both ends.
QString cleanTerminalOutput(const QByteArray& bytes);

// The line a person reading the transcript sees last: the text is split at line feeds, a carriage
// return ending a line is dropped, and lines that are empty or blank are skipped. Within the line,
// text after a carriage return overwrote what came before it on the terminal (spinner redraws), so
// the last non-blank such segment is taken. Leading spaces are kept. Empty when no line is left.
QString lastVisibleLine(QStringView text);

} // namespace corvane
