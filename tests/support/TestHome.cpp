#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

namespace corvane::test {

using namespace Qt::StringLiterals;

namespace {

const QStringList basicTools{
    u"sh"_s,    u"cat"_s,  u"sleep"_s, u"stat"_s, u"mkdir"_s, u"cp"_s,   u"chmod"_s,
    u"sed"_s,   u"head"_s, u"tail"_s,  u"tr"_s,   u"rm"_s,    u"mv"_s,   u"ls"_s,
    u"grep"_s,  u"env"_s,  u"id"_s,    u"date"_s, u"touch"_s, u"od"_s,   u"dirname"_s,
    u"kill"_s,  u"printf"_s, u"echo"_s, u"true"_s, u"false"_s, u"wc"_s, u"seq"_s,
};

} // namespace

TestHome::TestHome()
    : m_previousHome(qgetenv("HOME"))
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary home folder");
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    QDir home(m_dir.path());
    home.mkpath(u"bin"_s);
    home.mkpath(u"sysbin"_s);
    for (const QString& tool : basicTools) {
        const QString found = systemProgram(tool);
        if (!found.isEmpty())
            QFile::link(found, home.filePath(u"sysbin/"_s + tool));
    }
    writeStartupFiles();
}

TestHome::~TestHome()
{
    qputenv("HOME", m_previousHome);
}

QString TestHome::filePath(const QString& relative) const
{
    return QDir(m_dir.path()).filePath(relative);
}

void TestHome::writeFile(const QString& relative, const QByteArray& content)
{
    const QString target = filePath(relative);
    QDir().mkpath(QFileInfo(target).path());
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(target));
}

void TestHome::remove(const QString& relative)
{
    const QString target = filePath(relative);
    const QFileInfo info(target);
    if (info.isDir() && !info.isSymLink())
        QDir(target).removeRecursively();
    else
        QFile::remove(target);
}

void TestHome::installProgram(const QString& name, const QByteArray& script)
{
    const QString relative = u"bin/"_s + name;
    writeFile(relative, script);
    QFile::setPermissions(filePath(relative), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestHome::installNode(const QByteArray& output, int status)
{
    writeFile(u".node-output"_s, output);
    installProgram(u"node"_s, "#!/bin/sh\ncat \"$HOME/.node-output\"\nexit "
                                  + QByteArray::number(status) + "\n");
}

void TestHome::installStandIn()
{
    const QString source = QStringLiteral(CORVANE_STANDIN_DIR "/npx");
    remove(u"bin/npx"_s);
    if (!QFile::copy(source, filePath(u"bin/npx"_s)))
        qFatal("cannot copy the stand-in from %s", qPrintable(source));
    QFile::setPermissions(filePath(u"bin/npx"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestHome::addStartup(const QByteArray& lines)
{
    m_extraStartup += lines + '\n';
    writeStartupFiles();
}

void TestHome::resetStartup()
{
    m_extraStartup.clear();
    writeStartupFiles();
}

void TestHome::writeStartupFiles()
{
    const QByteArray common = "PATH=\"$HOME/bin:$HOME/sysbin\"; export PATH\n" + m_extraStartup;
    writeFile(u".testrc"_s, common);
    const QByteArray source = ". \"$HOME/.testrc\"\n";
    writeFile(u".bash_profile"_s, source);
    writeFile(u".profile"_s, source);
    writeFile(u".zshrc"_s, source);
    // fish reads its own syntax; it only needs the PATH.
    writeFile(u".config/fish/config.fish"_s, "set -gx PATH $HOME/bin $HOME/sysbin\n");
}

bool processGone(qint64 pid)
{
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString systemProgram(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

} // namespace corvane::test
