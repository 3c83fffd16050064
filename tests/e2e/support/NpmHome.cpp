#include "NpmHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

namespace corvane::e2e {

using namespace Qt::StringLiterals;

namespace {

bool isNpmSetting(const QByteArray& name) { return name.toLower().startsWith("npm_config_"); }

} // namespace

bool processGone(qint64 pid)
{
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}

std::optional<NpmHome::NodeTools> NpmHome::findNodeTools()
{
    NodeTools tools{QStandardPaths::findExecutable(u"node"_s),
                    QStandardPaths::findExecutable(u"npm"_s),
                    QStandardPaths::findExecutable(u"npx"_s)};
    if (tools.node.isEmpty() || tools.npm.isEmpty() || tools.npx.isEmpty())
        return std::nullopt;
    return tools;
}

NpmHome::NpmHome(const NodeTools& tools, const QString& registryUrl)
    : m_registryUrl(registryUrl)
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary home folder");
    QDir home(m_dir.path());
    home.mkpath(u"bin"_s);
    home.mkpath(u"tmp"_s);
    // Links, not copies: npm and npx find their own code from where the link points.
    QFile::link(tools.node, filePath(u"bin/node"_s));
    QFile::link(tools.npm, filePath(u"bin/npm"_s));
    QFile::link(tools.npx, filePath(u"bin/npx"_s));
    // npm runs a package's command through "sh" looked up on PATH.
    QFile::link(QStandardPaths::findExecutable(u"sh"_s), filePath(u"bin/sh"_s));

    // zsh is what Mac users have; bash and sh where it is missing.
    for (const char* name : {"zsh", "bash", "sh"}) {
        m_shell = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!m_shell.isEmpty())
            break;
    }
    setRegistry(registryUrl);
    writeStartupFiles();
}

NpmHome::~NpmHome()
{
    if (!m_saved)
        return;
    for (const auto& [name, value] : *m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

void NpmHome::setRegistry(const QString& registryUrl)
{
    m_registryUrl = registryUrl;
    // Retries are kept short: a registry that is down should fail a run in seconds, not minutes.
    writeFile(u".npmrc"_s, "registry=" + registryUrl.toUtf8() +
                               "\ncache=" + QFile::encodeName(cachePath()) +
                               "\nupdate-notifier=false\nfund=false\naudit=false\n"
                               "fetch-retries=1\nfetch-retry-mintimeout=200\n"
                               "fetch-retry-maxtimeout=1000\n");
    if (m_saved)
        qputenv("npm_config_registry", registryUrl.toUtf8());
}

void NpmHome::writeStartupFiles()
{
    writeFile(u".corvane-test-rc"_s, "PATH=\"$HOME/bin\"; export PATH\n");
    // zsh reads .zshrc last of its start-up files, bash -l reads .bash_profile, sh reads .profile.
    for (const QString& file : {u".zshrc"_s, u".bash_profile"_s, u".profile"_s})
        writeFile(file, ". \"$HOME/.corvane-test-rc\"\n");
}

void NpmHome::writeFile(const QString& relative, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(filePath(relative)).path());
    QFile file(filePath(relative));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
}

QByteArray NpmHome::read(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QByteArray> NpmHome::overrides() const
{
    QMap<QString, QByteArray> values;
    for (const QString& name : QProcessEnvironment::systemEnvironment().keys()) {
        if (isNpmSetting(name.toUtf8()))
            values.insert(name, QByteArray());
    }
    const QByteArray home = QFile::encodeName(path());
    values.insert(u"HOME"_s, home);
    values.insert(u"SHELL"_s, QFile::encodeName(m_shell));
    values.insert(u"TMPDIR"_s, QFile::encodeName(tempPath()));
    values.insert(u"npm_config_registry"_s, m_registryUrl.toUtf8());
    values.insert(u"npm_config_userconfig"_s, QFile::encodeName(filePath(u".npmrc"_s)));
    values.insert(u"npm_config_cache"_s, QFile::encodeName(cachePath()));
    values.insert(u"npm_config_offline"_s, "false");
    values.insert(u"CORVANE_STANDIN_RECORD"_s, QFile::encodeName(recordPath()));
    // Tools turn their spinners off under CI; users' apps never have it.
    values.insert(u"CI"_s, QByteArray());
    values.insert(u"TERM"_s, QByteArray());
    return values;
}

void NpmHome::apply()
{
    if (m_saved)
        return;
    m_saved.emplace();
    const QMap<QString, QByteArray> values = overrides();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QByteArray name = it.key().toUtf8();
        m_saved->append({name, qEnvironmentVariableIsSet(name.constData())
                                   ? std::optional<QByteArray>(qgetenv(name.constData()))
                                   : std::nullopt});
        if (it.value().isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), it.value());
    }
}

QProcessEnvironment NpmHome::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QMap<QString, QByteArray> values = overrides();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (it.value().isNull())
            environment.remove(it.key());
        else
            environment.insert(it.key(), QString::fromLocal8Bit(it.value()));
    }
    return environment;
}

QList<qint64> processesOfHome(const QString& home)
{
    const QByteArray wanted = "HOME=" + QFile::encodeName(home);
    const qint64 self = QCoreApplication::applicationPid();
    QList<qint64> found;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == self || processGone(pid))
            continue;
        QFile environ(u"/proc/"_s + entry + u"/environ"_s);
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        if (environ.readAll().split('\0').contains(wanted))
            found.append(pid);
    }
    return found;
}

void killProcesses(const QList<qint64>& pids)
{
    for (const qint64 pid : pids)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    const QDeadlineTimer deadline(5000);
    for (const qint64 pid : pids) {
        while (!processGone(pid) && !deadline.hasExpired())
            QThread::msleep(20);
    }
}

} // namespace corvane::e2e
