#include "Manifest.h"

#include "Catalog.h"
#include "CorvaneCli.h"
#include "Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// The manifest's truth: the literal true, or a number equal to 1.
bool isTrue(const QJsonValue& value)
{
    return value.isBool() ? value.toBool() : (value.isDouble() && value.toDouble() == 1.0);
}

std::optional<QString> stringMember(const QJsonObject& object, QLatin1StringView name)
{
    const QJsonValue value = object.value(name);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<ExistingHarness> readInstallation(const QJsonObject& entry)
{
    const std::optional<QString> id = stringMember(entry, cli::manifest::harness);
    if (!id || isTrue(entry.value(cli::manifest::disabled)))
        return std::nullopt;

    ExistingHarness harness{*id, std::nullopt, std::nullopt};
    const std::optional<QString> provider = stringMember(entry, cli::manifest::userFundedProvider);
    if (*id == ids::claudeCode) {
        if (provider)
            harness.claudeFunding = *provider == cli::manifest::claudeSubscription
                                        ? ids::subscription.toString()
                                        : *provider;
    } else if (*id == ids::codex) {
        if (isTrue(entry.value(cli::manifest::openaiSubscriptionAuth)))
            harness.codexFunding = ids::subscription.toString();
        else
            harness.codexFunding = provider;
    }
    return harness;
}

} // namespace

const QString& manifestPath()
{
    static const QString path = homePath() + u'/' + cli::manifestRelativePath.toString();
    return path;
}

bool hasExistingInstall() { return existsAt(manifestPath()); }

QList<ExistingHarness> readExistingHarnesses()
{
    // Only regular files are read: a FIFO or a device at the path would block or never end.
    if (!QFileInfo(manifestPath()).isFile())
        return {};
    QFile file(manifestPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray json = file.read(manifestReadLimit + 1);
    if (json.size() > manifestReadLimit)
        return {};
    return parseManifest(json);
}

QList<ExistingHarness> parseManifest(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return {};
    const QJsonValue installations = document.object().value(cli::manifest::installations);
    if (!installations.isArray())
        return {};

    const QJsonArray entries = installations.toArray();
    // One element that is not an object spoils the whole array.
    for (const QJsonValue& entry : entries) {
        if (!entry.isObject())
            return {};
    }

    QList<ExistingHarness> found;
    for (const QJsonValue& entry : entries) {
        if (std::optional<ExistingHarness> harness = readInstallation(entry.toObject()))
            found.append(std::move(*harness));
    }
    return found;
}

} // namespace corvane
