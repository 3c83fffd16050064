#pragma once

#include <QList>
#include <QProcess>
#include <QtGlobal>

#include <initializer_list>

#include <sys/types.h>

// What the runner and the Node.js check do to the processes they start.
namespace corvane {

// Child-process hook, between fork and exec: puts the child in a session of its own, away from
// the app's terminal and process group. On Linux it also makes the child die (SIGKILL) when the
// thread that started it ends, and exits at once if `parent` is already gone, so that nothing the
// app starts outlives an app that is killed outright: start such children from the main thread.
// Async-signal-safe.
void startDetachedFrom(pid_t parent);

// Sends sig to the process group led by the process (which was started in a session of its own),
// or to the process alone if it has not yet made its group.
void signalProcessGroup(const QProcess& process, int sig);

// The live processes of session `session` (zombies left out), never this program itself; empty
// where the system offers no way to list them.
QList<pid_t> sessionMembers(pid_t session);

// Sends each signal in turn to every member of `session`, and returns how many there were.
// Refuses, sending nothing, a session id below 2 and this program's own session.
int signalSession(pid_t session, std::initializer_list<int> signalNumbers);

} // namespace corvane
