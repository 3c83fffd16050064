#include "LocalRegistry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUuid>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::e2e {

using namespace Qt::StringLiterals;

namespace {

const QString publisherName = u"corvane-test-publisher"_s;
constexpr int startBoundMs = 30000;
constexpr int publishBoundMs = 120000;

// A loopback port nobody listens on right now. Another process may take it before the server
// binds it; start() then tries again with another.
quint16 freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

QByteArray yamlQuoted(const QString& text)
{
    QString quoted = text;
    return "'" + quoted.replace(u'\'', u"''"_s).toUtf8() + "'";
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

// Copies a package folder, following links, so that a version can be changed in the copy.
bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(source);
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target))
            return false;
    }
    return true;
}

QProcessEnvironment withoutNpmSettings(QProcessEnvironment environment)
{
    for (const QString& name : environment.keys()) {
        if (name.toLower().startsWith(u"npm_config_"))
            environment.remove(name);
    }
    return environment;
}

} // namespace

LocalRegistry::LocalRegistry(QString verdaccioFolder, QString node, QString npm)
    : m_verdaccioFolder(std::move(verdaccioFolder))
    , m_node(std::move(node))
    , m_npm(std::move(npm))
    , m_password(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    if (!m_dir.isValid())
        qFatal("cannot create the registry's folder");
    QDir(m_dir.path()).mkpath(u"storage"_s);
    QDir(m_dir.path()).mkpath(u"publisher"_s);

    // Verdaccio's htpasswd accepts salted-free SHA-1 in the {SHA} form; good enough for an
    // account that lives as long as this folder.
    const QByteArray hash =
        QCryptographicHash::hash(m_password.toUtf8(), QCryptographicHash::Sha1).toBase64();
    writeFile(m_dir.filePath(u"htpasswd"_s), publisherName.toUtf8() + ":{SHA}" + hash + '\n');
    const QByteArray config = "storage: " + yamlQuoted(m_dir.filePath(u"storage"_s)) +
                              "\n"
                              "auth:\n"
                              "  htpasswd:\n"
                              "    file: " +
                              yamlQuoted(m_dir.filePath(u"htpasswd"_s)) +
                              "\n"
                              "    max_users: -1\n" // no one registers
                              "uplinks: {}\n"
                              "packages:\n"
                              "  '**':\n"
                              "    access: $all\n"
                              "    publish: $authenticated\n"
                              "    unpublish: $authenticated\n"
                              "web:\n"
                              "  enable: false\n"
                              "log: { type: stdout, format: json, level: http }\n";
    writeFile(m_dir.filePath(u"config.yaml"_s), config);

    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.setChildProcessModifier([] { ::setsid(); });
    QObject::connect(&m_server, &QProcess::readyReadStandardOutput, &m_server,
                     [this] { readLog(); });
}

LocalRegistry::~LocalRegistry() { stop(); }

bool LocalRegistry::isInstalled() const
{
    return QFileInfo(m_verdaccioFolder + u"/node_modules/verdaccio/bin/verdaccio"_s).isFile();
}

QString LocalRegistry::url() const { return u"http://127.0.0.1:%1/"_s.arg(m_port); }

bool LocalRegistry::start(QString* error)
{
    if (isRunning())
        return true;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const quint16 port = freeLoopbackPort();
        if (port != 0 && launch(port, error))
            return true;
    }
    return false;
}

bool LocalRegistry::launch(quint16 port, QString* error)
{
    m_port = port;
    m_pending.clear();
    m_requests.clear();
    m_listening = false;
    QProcessEnvironment environment = withoutNpmSettings(QProcessEnvironment::systemEnvironment());
    environment.insert(u"HOME"_s, m_dir.path());
    m_server.setProcessEnvironment(environment);
    m_server.setProgram(m_node);
    m_server.setArguments({m_verdaccioFolder + u"/node_modules/verdaccio/bin/verdaccio"_s,
                           u"--config"_s, m_dir.filePath(u"config.yaml"_s), u"--listen"_s,
                           u"127.0.0.1:%1"_s.arg(port)});
    m_server.start();
    (void)QTest::qWaitFor(
        [this] { return m_listening || m_server.state() == QProcess::NotRunning; }, startBoundMs);
    if (m_listening)
        return true;
    *error = u"Verdaccio did not start on port %1: %2"_s.arg(port).arg(
        QString::fromUtf8(m_pending + m_server.readAll()).right(2000));
    stop();
    return false;
}

void LocalRegistry::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    const auto pid = static_cast<pid_t>(m_server.processId());
    if (pid > 0)
        ::kill(-pid, SIGTERM);
    if (!QTest::qWaitFor([this] { return m_server.state() == QProcess::NotRunning; }, 5000)) {
        if (pid > 0)
            ::kill(-pid, SIGKILL);
        m_server.waitForFinished(2000);
    }
    m_listening = false;
}

void LocalRegistry::readLog()
{
    m_pending += m_server.readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value("msg"_L1).toString().startsWith(u"http address"))
            m_listening = true;
        const QJsonObject request = entry.value("request"_L1).toObject();
        if (!request.isEmpty() && entry.contains("status"_L1))
            m_requests.append(
                u"%1 %2 %3"_s
                    .arg(request.value("method"_L1).toString(), request.value("url"_L1).toString())
                    .arg(entry.value("status"_L1).toInt()));
    }
}

QStringList LocalRegistry::requests() const { return m_requests; }

bool LocalRegistry::publish(const QString& packageFolder, const QString& version, QString* output)
{
    const QString staging = m_dir.filePath(u"staging-"_s + version);
    QDir(staging).removeRecursively();
    QFile manifestFile(packageFolder + u"/package.json"_s);
    if (!copyTree(packageFolder, staging) || !manifestFile.open(QIODevice::ReadOnly)) {
        *output = u"cannot copy %1 to %2"_s.arg(packageFolder, staging);
        return false;
    }
    QJsonObject manifest = QJsonDocument::fromJson(manifestFile.readAll()).object();
    manifest.insert("version"_L1, version);
    writeFile(staging + u"/package.json"_s, QJsonDocument(manifest).toJson());

    const QString host = url().mid(QStringLiteral("http:").size());
    const QByteArray credentials = (publisherName + u':' + m_password).toUtf8().toBase64();
    const QString userConfig = m_dir.filePath(u"publisher.npmrc"_s);
    writeFile(userConfig, host.toUtf8() + ":_auth=" + credentials + '\n');

    // The publisher has a home, a cache and a configuration of its own: nothing it does reaches
    // the user's home or npm cache.
    QProcessEnvironment environment = withoutNpmSettings(QProcessEnvironment::systemEnvironment());
    environment.insert(u"HOME"_s, m_dir.filePath(u"publisher"_s));
    environment.insert(u"npm_config_userconfig"_s, userConfig);
    environment.insert(u"npm_config_cache"_s, m_dir.filePath(u"publisher/.npm"_s));
    environment.insert(u"npm_config_registry"_s, url());
    QProcess npm;
    npm.setProcessEnvironment(environment);
    npm.setProcessChannelMode(QProcess::MergedChannels);
    npm.setWorkingDirectory(staging);
    npm.start(m_npm, {u"publish"_s, u"--registry"_s, url(), u"--tag"_s, u"latest"_s});
    // Waiting through the event loop keeps the server's log read while npm talks to it.
    const bool ended =
        QTest::qWaitFor([&npm] { return npm.state() == QProcess::NotRunning; }, publishBoundMs);
    if (!ended)
        npm.kill(), npm.waitForFinished(2000);
    *output = QString::fromUtf8(npm.readAll());
    QDir(staging).removeRecursively();
    return ended && npm.exitStatus() == QProcess::NormalExit && npm.exitCode() == 0;
}

} // namespace corvane::e2e
