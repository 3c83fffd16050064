#include "AccessibilityBus.h"

#include "NpmHome.h"
#include "ProcessGroup.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

namespace corvane::e2e {

using namespace Qt::StringLiterals;

namespace {

const QString busService = u"org.a11y.Bus"_s;
const QString busPath = u"/org/a11y/bus"_s;
const QString registryService = u"org.a11y.atspi.Registry"_s;
const QString rootPath = u"/org/a11y/atspi/accessible/root"_s;
const QString accessibleInterface = u"org.a11y.atspi.Accessible"_s;
const QString propertiesInterface = u"org.freedesktop.DBus.Properties"_s;

constexpr int startBoundMs = 20000;
// An application busy on its main thread answers late; a poll that times out is tried again.
constexpr int callBoundMs = 3000;
constexpr int deepestTree = 40;

// Where the session bus finds the accessibility bus launcher to start it.
QString launcherServiceFile()
{
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, u"dbus-1/services"_s,
                                   QStandardPaths::LocateDirectory)) {
        const QString file = folder + u"/org.a11y.Bus.service"_s;
        if (QFileInfo::exists(file))
            return file;
    }
    return {};
}

std::optional<QDBusMessage> call(const QDBusConnection& connection, const QString& service,
                                 const QString& path, const QString& interface,
                                 const QString& method, const QVariantList& arguments = {},
                                 int boundMs = callBoundMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = connection.call(message, QDBus::Block, boundMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply;
}

QList<std::pair<QString, QString>> objectReferences(const QDBusMessage& reply)
{
    QList<std::pair<QString, QString>> references;
    const QDBusArgument argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        references.append({service, path.path()});
    }
    argument.endArray();
    return references;
}

} // namespace

AccessibilityBus::AccessibilityBus()
    : m_connectionName(u"corvane-e2e-session-%1"_s.arg(quintptr(this)))
{
    if (!m_dir.isValid())
        qFatal("cannot create the accessibility bus's folder");
    leadOwnGroup(m_daemon);
}

AccessibilityBus::~AccessibilityBus() { stop(); }

QStringList AccessibilityBus::missingPrograms()
{
    QStringList missing;
    if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
        missing.append(u"dbus-daemon"_s);
    if (launcherServiceFile().isEmpty())
        missing.append(u"at-spi-bus-launcher (org.a11y.Bus.service)"_s);
    return missing;
}

bool AccessibilityBus::start(const QString& display, QString* error)
{
    const QString runtime = m_dir.filePath(u"runtime"_s);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString wanted = u"unix:path="_s + runtime + u"/bus"_s;

    // The bus hands this environment to what it starts: the launcher, the accessibility bus and
    // the registry all live in this folder and on this display.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, m_dir.path());
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    environment.insert(u"DISPLAY"_s, display);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, wanted);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    m_daemon.setProcessEnvironment(environment);
    const auto printed = startForFirstLine(m_daemon, u"dbus-daemon"_s,
                                           {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s,
                                            u"--address="_s + wanted, u"--print-address=1"_s},
                                           startBoundMs);
    if (!printed) {
        *error = u"dbus-daemon did not start: %1"_s.arg(
            QString::fromLocal8Bit(m_daemon.readAllStandardError()).right(2000));
        stop();
        return false;
    }
    m_address = QString::fromLocal8Bit(printed->trimmed());

    QDBusConnection session = QDBusConnection::connectToBus(m_address, m_connectionName);
    if (!session.isConnected()) {
        *error = u"cannot connect to the session bus at %1: %2"_s.arg(
            m_address, session.lastError().message());
        stop();
        return false;
    }
    // Asking for the address starts the launcher, which starts the accessibility bus.
    const auto address =
        call(session, busService, busPath, busService, u"GetAddress"_s, {}, startBoundMs);
    if (!address) {
        *error = u"the accessibility bus did not start: %1"_s.arg(session.lastError().message());
        stop();
        return false;
    }
    // What a screen reader does when it starts; applications read it when they start.
    const auto switched = call(
        session, busService, busPath, propertiesInterface, u"Set"_s,
        {u"org.a11y.Status"_s, u"ScreenReaderEnabled"_s, QVariant::fromValue(QDBusVariant(true))});
    Q_UNUSED(switched); // a Set has no reply arguments; checked by reading it back
    const auto enabled = call(session, busService, busPath, propertiesInterface, u"Get"_s,
                              {u"org.a11y.Status"_s, u"ScreenReaderEnabled"_s});
    if (!enabled || !enabled->arguments().constFirst().value<QDBusVariant>().variant().toBool()) {
        *error = u"the screen reader's switch could not be turned on"_s;
        stop();
        return false;
    }

    const QString a11yName = m_connectionName + u"-a11y"_s;
    m_a11y = QDBusConnection::connectToBus(address->arguments().constFirst().toString(), a11yName);
    if (!m_a11y->isConnected()) {
        *error =
            u"cannot connect to the accessibility bus: %1"_s.arg(m_a11y->lastError().message());
        stop();
        return false;
    }
    // The first question starts the registry.
    if (!call(*m_a11y, registryService, rootPath, accessibleInterface, u"GetChildren"_s, {},
              startBoundMs)) {
        *error =
            u"the accessibility registry did not answer: %1"_s.arg(m_a11y->lastError().message());
        stop();
        return false;
    }
    return true;
}

void AccessibilityBus::stop()
{
    if (m_a11y) {
        QDBusConnection::disconnectFromBus(m_a11y->name());
        m_a11y.reset();
    }
    QDBusConnection::disconnectFromBus(m_connectionName);
    stopGroup(m_daemon);
    // The bus starts the launcher detached from itself; it and its children keep this HOME.
    killProcesses(processesOfHome(m_dir.path()));
    m_address.clear();
}

std::optional<QList<AccessibleNode>> AccessibilityBus::showingNodes(qint64 pid) const
{
    if (!m_a11y)
        return std::nullopt;
    const auto applications =
        call(*m_a11y, registryService, rootPath, accessibleInterface, u"GetChildren"_s);
    if (!applications)
        return std::nullopt;
    for (const auto& [service, path] : objectReferences(*applications)) {
        const QDBusReply<uint> owner = m_a11y->interface()->servicePid(service);
        if (!owner.isValid() || qint64(owner.value()) != pid)
            continue;
        QList<AccessibleNode> nodes;
        if (!collect(service, path, &nodes, 0))
            return std::nullopt;
        return nodes;
    }
    return std::nullopt;
}

bool AccessibilityBus::collect(const QString& service, const QString& path,
                               QList<AccessibleNode>* nodes, int depth) const
{
    if (depth > deepestTree)
        return false;
    const auto state = call(*m_a11y, service, path, accessibleInterface, u"GetState"_s);
    if (!state)
        return false;
    AccessibleNode node;
    node.service = service;
    node.path = path;
    const QDBusArgument words = state->arguments().constFirst().value<QDBusArgument>();
    words.beginArray();
    for (int shift = 0; !words.atEnd(); shift += 32) {
        uint word = 0;
        words >> word;
        if (shift < 64)
            node.states |= quint64(word) << shift;
    }
    words.endArray();
    // What is hidden is hidden with everything in it.
    if (!node.has(AccessibleNode::Showing))
        return true;

    const auto role = call(*m_a11y, service, path, accessibleInterface, u"GetRoleName"_s);
    const auto name = call(*m_a11y, service, path, propertiesInterface, u"Get"_s,
                           {accessibleInterface, u"Name"_s});
    const auto children = call(*m_a11y, service, path, accessibleInterface, u"GetChildren"_s);
    if (!role || !name || !children)
        return false;
    node.role = role->arguments().constFirst().toString();
    node.name = name->arguments().constFirst().value<QDBusVariant>().variant().toString();
    nodes->append(node);
    for (const auto& [childService, childPath] : objectReferences(*children)) {
        if (!collect(childService, childPath, nodes, depth + 1))
            return false;
    }
    return true;
}

std::optional<QRect> AccessibilityBus::extents(const AccessibleNode& node) const
{
    if (!m_a11y)
        return std::nullopt;
    constexpr uint screenCoordinates = 0;
    const auto reply = call(*m_a11y, node.service, node.path, u"org.a11y.atspi.Component"_s,
                            u"GetExtents"_s, {QVariant::fromValue(screenCoordinates)});
    if (!reply)
        return std::nullopt;
    int x = 0, y = 0, width = 0, height = 0;
    const QDBusArgument box = reply->arguments().constFirst().value<QDBusArgument>();
    box.beginStructure();
    box >> x >> y >> width >> height;
    box.endStructure();
    return QRect(x, y, width, height);
}

std::optional<QString> AccessibilityBus::text(const AccessibleNode& node) const
{
    if (!m_a11y)
        return std::nullopt;
    const auto reply =
        call(*m_a11y, node.service, node.path, u"org.a11y.atspi.Text"_s, u"GetText"_s, {0, -1});
    if (!reply)
        return std::nullopt;
    return reply->arguments().constFirst().toString();
}

} // namespace corvane::e2e
