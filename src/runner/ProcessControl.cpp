#include "ProcessControl.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#ifdef Q_OS_MACOS
#include <sys/sysctl.h>
#endif

namespace corvane {

void startDetachedFrom(pid_t parent)
{
    ::setsid();
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above took effect.
    if (::getppid() != parent)
        ::_exit(127);
#else
    Q_UNUSED(parent);
#endif
}

void signalProcessGroup(const QProcess& process, int sig)
{
    const qint64 pid = process.processId();
    if (pid <= 0)
        return;
    if (::kill(-static_cast<pid_t>(pid), sig) != 0)
        ::kill(static_cast<pid_t>(pid), sig);
}

QList<pid_t> sessionMembers(pid_t session)
{
    QList<pid_t> members;
    const pid_t self = ::getpid();
#if defined(Q_OS_LINUX)
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&isPid));
        if (!isPid || pid == self)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid pgrp session ...: the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 3 && fields[0] != "Z" && fields[3].toInt() == session)
            members.append(pid);
    }
#elif defined(Q_OS_MACOS)
    int query[4] = {CTL_KERN, KERN_PROC, KERN_PROC_SESSION, session};
    size_t size = 0;
    if (::sysctl(query, 4, nullptr, &size, nullptr, 0) != 0)
        return members;
    QByteArray buffer(static_cast<qsizetype>(size + 16 * sizeof(kinfo_proc)), Qt::Uninitialized);
    size = static_cast<size_t>(buffer.size());
    if (::sysctl(query, 4, buffer.data(), &size, nullptr, 0) != 0)
        return members;
    const auto* procs = reinterpret_cast<const kinfo_proc*>(buffer.constData());
    for (size_t i = 0; i < size / sizeof(kinfo_proc); ++i) {
        const pid_t pid = procs[i].kp_proc.p_pid;
        if (pid != self && procs[i].kp_proc.p_stat != SZOMB)
            members.append(pid);
    }
#else
    Q_UNUSED(session);
    Q_UNUSED(self);
#endif
    return members;
}

int signalSession(pid_t session, std::initializer_list<int> signalNumbers)
{
    if (session < 2 || session == ::getsid(0))
        return 0;
    const QList<pid_t> members = sessionMembers(session);
    for (const int sig : signalNumbers) {
        for (const pid_t pid : members)
            ::kill(pid, sig);
    }
    return int(members.size());
}

} // namespace corvane
