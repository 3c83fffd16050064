#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;

namespace corvane {

// One wizard per user, so two installers never run against the same manifest and tool files.
//
// The first copy holds a lock file in a private folder (the user's runtime folder) and listens on
// a local socket beside it. A later copy finds the lock held, asks the first one to come to the
// front through the socket, and ends without a word. The lock belongs to a live process: one left
// behind by a copy that was killed is taken over, however old, and one held by a running copy is
// never taken, however long it has run. When the folder cannot hold a lock at all, every copy
// counts as the first, so a broken folder never keeps the user from setting up.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& folder = defaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder.
    static QString defaultFolder();

    // True when this copy holds the lock (or no lock could be made).
    bool isFirst() const { return m_first; }

    // For a later copy: asks the first one to show its window. True when it was reached within
    // bound. Blocks; call before any window exists.
    bool askFirstToShow(std::chrono::milliseconds bound = std::chrono::seconds(2)) const;

signals:
    // A later copy asked for the window. Only ever emitted by the first copy.
    void showRequested();

private:
    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
    bool m_first = false;
};

} // namespace corvane
