#pragma once

#include <QString>
#include <QStringView>

namespace corvane {

// What the failure screen says about a failed command, read from its cleaned output.
//
// When the output ends with npm's error block (its last non-blank lines all begin "npm error" or
// "npm ERR!"), the line is the block's first that says what happened ("npm error 404 Not Found -
// GET …", "npm error request to … failed: …"): lines that carry no words of their own ("npm error",
// "npm error 404"), fields such as "code E404", "syscall connect" or "errno ECONNREFUSED", and the
// pointer to npm's log are passed over; npm's closing advice always follows the cause. A block with
// no such line gives an empty text. Any other output gives its last visible line (see
// lastVisibleLine). Empty when nothing is left to show.
QString failureLine(const QString& output);

// The end of the output for a bug report: its last detailsLineCount lines, each as the terminal
// last showed it (the text after a carriage return that overwrote it), joined by line feeds, with
// blank lines at either end dropped. Empty for an output with nothing visible.
inline constexpr qsizetype detailsLineCount = 200;
QString failureDetails(QStringView output);

} // namespace corvane
