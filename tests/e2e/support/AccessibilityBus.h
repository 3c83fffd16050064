#pragma once

#include <QDBusConnection>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace corvane::e2e {

// One control or text of an application as a screen reader sees it.
struct AccessibleNode {
    // The states of the accessibility protocol that the tests read.
    enum State : quint8 {
        Active = 1,
        Checked = 4,
        Enabled = 8,
        Focused = 12,
        Showing = 25,
        IsDefault = 39,
    };

    QString name;
    QString role; // the protocol's role name: "label", "push button", "check box", "text"…
    quint64 states = 0;
    QString service;
    QString path;

    bool has(State state) const { return (states >> state) & 1; }
};

// A private D-Bus session bus for one X display, with the accessibility bus and registry that a
// screen reader talks to, and the screen reader's switch turned on so that applications started
// on this bus show what they draw to it. Applications are read through it the way a screen reader
// reads them.
//
// The bus and everything it starts (the accessibility bus launcher, its bus, the registry) run in
// one process group, with a HOME and runtime folder of their own, and are stopped by stop() or the
// destructor.
class AccessibilityBus {
public:
    AccessibilityBus();
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    // The programs this needs that are not there: dbus-daemon on PATH, and the accessibility bus
    // launcher where the session bus can start it.
    static QStringList missingPrograms();

    // Starts the session bus for display, starts its accessibility bus and turns the screen
    // reader's switch on; false with *error set when any of it fails.
    bool start(const QString& display, QString* error);
    void stop();

    // DBUS_SESSION_BUS_ADDRESS for the applications to read.
    QString sessionAddress() const { return m_address; }

    // The shown controls and texts of the application that process pid runs, in the order of
    // the accessibility tree (depth first): nothing when it has not joined the registry or does not
    // answer in time.
    std::optional<QList<AccessibleNode>> showingNodes(qint64 pid) const;

    // Where node lies on the screen, or nothing when it does not answer.
    std::optional<QRect> extents(const AccessibleNode& node) const;

    // The text a text control gives a screen reader, or nothing when it does not answer.
    std::optional<QString> text(const AccessibleNode& node) const;

private:
    bool collect(const QString& service, const QString& path, QList<AccessibleNode>* nodes,
                 int depth) const;

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_connectionName;
    std::optional<QDBusConnection> m_a11y;
};

} // namespace corvane::e2e
