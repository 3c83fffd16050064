#include "InstallAnswers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

using namespace Qt::StringLiterals;

QByteArray InstallAnswers::toJson() const
{
    QJsonObject object{
        {u"harnesses"_s, QJsonArray::fromStringList(harnesses)},
        {u"claudeFunding"_s, QJsonArray::fromStringList(claudeFunding)},
        {u"codexFunding"_s, QJsonArray::fromStringList(codexFunding)},
    };
    const auto putKey = [&object](const QString& member, const std::optional<QString>& key) {
        if (key)
            object.insert(member, *key);
    };
    putKey(u"anthropicApiKey"_s, anthropicApiKey);
    putKey(u"openaiApiKey"_s, openaiApiKey);
    putKey(u"openrouterApiKey"_s, openrouterApiKey);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace corvane
