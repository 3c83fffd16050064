// The answers file's JSON on arbitrary answers.
//
// Properties: the bytes are one compact JSON object (no line break) that parses back without
// error; it has exactly the three lists and the keys that are present, and each member holds
// exactly the record's value.
#include "FuzzCheck.h"

#include "model/InstallAnswers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// Text reaches the record decoded from UTF-8 or typed, so it is always well-formed UTF-16.
QString takeText(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRandomLengthString(128);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QStringList takeList(FuzzedDataProvider& input)
{
    QStringList list;
    const int count = input.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i)
        list.append(takeText(input));
    return list;
}

std::optional<QString> takeKey(FuzzedDataProvider& input)
{
    if (!input.ConsumeBool())
        return std::nullopt;
    return takeText(input);
}

bool holdsList(const QJsonObject& object, const QString& member, const QStringList& expected)
{
    const QJsonValue value = object.value(member);
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    if (array.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isString() || array.at(i).toString() != expected.at(i))
            return false;
    }
    return true;
}

bool holdsKey(const QJsonObject& object, const QString& member, const std::optional<QString>& key)
{
    if (!key)
        return !object.contains(member);
    const QJsonValue value = object.value(member);
    return value.isString() && value.toString() == *key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    InstallAnswers answers;
    answers.harnesses = takeList(input);
    answers.claudeFunding = takeList(input);
    answers.codexFunding = takeList(input);
    answers.anthropicApiKey = takeKey(input);
    answers.openaiApiKey = takeKey(input);
    answers.openrouterApiKey = takeKey(input);

    const QByteArray json = answers.toJson();
    fuzz::check(!json.contains('\n'), "the answers are compact", QString::fromUtf8(json));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    fuzz::check(error.error == QJsonParseError::NoError && document.isObject(),
                "the answers parse back as one object", QString::fromUtf8(json));
    const QJsonObject object = document.object();

    const int keys = int(answers.anthropicApiKey.has_value()) +
                     int(answers.openaiApiKey.has_value()) +
                     int(answers.openrouterApiKey.has_value());
    fuzz::check(object.size() == 3 + keys, "only the lists and the present keys are written",
                QString::fromUtf8(json));
    fuzz::check(holdsList(object, u"harnesses"_s, answers.harnesses) &&
                    holdsList(object, u"claudeFunding"_s, answers.claudeFunding) &&
                    holdsList(object, u"codexFunding"_s, answers.codexFunding),
                "the lists parse back unchanged", QString::fromUtf8(json));
    fuzz::check(holdsKey(object, u"anthropicApiKey"_s, answers.anthropicApiKey) &&
                    holdsKey(object, u"openaiApiKey"_s, answers.openaiApiKey) &&
                    holdsKey(object, u"openrouterApiKey"_s, answers.openrouterApiKey),
                "the keys parse back unchanged", QString::fromUtf8(json));
    return 0;
}
