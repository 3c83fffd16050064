#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane::e2e {

// Makes server run in a process group of its own when it is started, so that stopGroup() ends
// it together with everything it starts.
void leadOwnGroup(QProcess& server);

// Starts server and waits (at most boundMs) for the first line it writes to its standard output:
// the line without its line feed, or nothing when it ended or stayed silent.
std::optional<QByteArray> startForFirstLine(QProcess& server, const QString& program,
                                            const QStringList& arguments, int boundMs);

// Ends the process group server leads: SIGTERM, then SIGKILL after a few seconds, and waits until
// the leader is gone. Does nothing when it is not running.
void stopGroup(QProcess& server);

} // namespace corvane::e2e
