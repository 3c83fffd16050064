#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace corvane {

// One wizard per user, so two installers never run against the same manifest and tool files.
//
// The first copy holds a lock file in a private folder (the user's runtime folder) and reads a
// named pipe beside it. A later copy finds the lock held, asks the first one to come to the front
// by writing a byte into the pipe, and ends without a word. The lock belongs to a live process: one
// left behind by a copy that was killed is taken over, however old, and one held by a running copy
// is never taken, however long it has run. When the folder cannot hold a lock at all, every copy
// counts as the first, so a broken folder never keeps the user from setting up.
//
// A pipe rather than a local socket keeps the program to Qt Core and Widgets: the network module
// would load its own libraries (Kerberos, proxy look-up) into every start for this one message.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& folder = defaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder.
    static QString defaultFolder();

    // True when this copy holds the lock (or no lock could be made).
    bool isFirst() const { return m_first; }

    // For a later copy: asks the first one to show its window. True when the first copy's pipe
    // took the request. Never blocks.
    bool askFirstToShow() const;

signals:
    // A later copy asked for the window, once per batch of requests. Only ever emitted by the first
    // copy.
    void showRequested();

private:
    void drain();

    QString m_pipePath;
    QLockFile m_lock;
    int m_reader = -1;
    // Held open so that the pipe never reports end of file (and never wakes the loop) between
    // requests.
    int m_keeper = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_first = false;
};

} // namespace corvane
