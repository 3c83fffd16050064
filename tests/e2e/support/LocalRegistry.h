#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace corvane::e2e {

// A Verdaccio npm registry on a free loopback port, with its configuration, storage and a
// throw-away publisher account in a temporary folder of its own. It has no uplink: it serves what
// was published to it and answers 404 for everything else, so nothing reaches another registry.
//
// The server runs in a process group of its own and is stopped by stop() or the destructor,
// whatever state a test left it in. Storage is kept across stop() and start(), so a restarted
// registry serves the same packages (possibly on another port: read url() again).
class LocalRegistry {
public:
    // verdaccioFolder holds node_modules/verdaccio; node runs it; npm publishes.
    LocalRegistry(QString verdaccioFolder, QString node, QString npm);
    ~LocalRegistry();
    LocalRegistry(const LocalRegistry&) = delete;
    LocalRegistry& operator=(const LocalRegistry&) = delete;

    // Whether Verdaccio is installed where it was said to be.
    bool isInstalled() const;

    // Starts the server and returns once it listens; false with *error set when it cannot.
    bool start(QString* error);
    // Stops the server (SIGTERM, then SIGKILL after a few seconds) and waits until it is gone.
    void stop();
    bool isRunning() const { return m_server.state() != QProcess::NotRunning; }

    // "http://127.0.0.1:<port>/" while running.
    QString url() const;

    // Publishes the package in packageFolder (with its bundled node_modules) under version, as
    // the throw-away publisher. False with npm's output in *output when it fails.
    bool publish(const QString& packageFolder, const QString& version, QString* output);

    // The requests the server has logged since it started, as "GET /corvane 200".
    QStringList requests() const;

private:
    bool launch(quint16 port, QString* error);
    void readLog();

    QString m_verdaccioFolder;
    QString m_node;
    QString m_npm;
    QTemporaryDir m_dir;
    QString m_password;
    QProcess m_server;
    quint16 m_port = 0;
    QByteArray m_pending;
    QStringList m_requests;
    bool m_listening = false;
};

} // namespace corvane::e2e
