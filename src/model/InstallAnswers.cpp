#include "InstallAnswers.h"

#include "CorvaneCli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

QByteArray InstallAnswers::toJson() const
{
    QJsonObject object;
    object.insert(cli::answers::harnesses, QJsonArray::fromStringList(harnesses));
    object.insert(cli::answers::claudeFunding, QJsonArray::fromStringList(claudeFunding));
    object.insert(cli::answers::codexFunding, QJsonArray::fromStringList(codexFunding));
    const auto putKey = [&object](QLatin1StringView member, const std::optional<QString>& key) {
        if (key)
            object.insert(member, *key);
    };
    putKey(cli::answers::anthropicApiKey, anthropicApiKey);
    putKey(cli::answers::openaiApiKey, openaiApiKey);
    putKey(cli::answers::openrouterApiKey, openrouterApiKey);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QStringList InstallAnswers::keys() const
{
    QStringList present;
    for (const std::optional<QString>& key : {anthropicApiKey, openaiApiKey, openrouterApiKey}) {
        if (key)
            present.append(*key);
    }
    return present;
}

} // namespace corvane
