#pragma once

#include <QByteArray>

namespace corvane::bench {

// What a Node.js installer prints under a terminal, repeated: window titles, spinner frames redrawn
// after carriage returns with line erasing, colour sequences, progress bars and ordinary lines.
// The same bytes every time. `size` bytes exactly, cut at the end of a line.
QByteArray installerText(qsizetype size);

// The line a failing installer prints last; the failure screen must show it.
inline constexpr char lastLine[] =
    "npm error 404 Not Found - GET https://registry.npmjs.org/corvane";

} // namespace corvane::bench
