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

    QJsonObject expected{{u"harnesses"_s, QJsonArray::fromStringList(answers.harnesses)},
                         {u"claudeFunding"_s, QJsonArray::fromStringList(answers.claudeFunding)},
                         {u"codexFunding"_s, QJsonArray::fromStringList(answers.codexFunding)}};
    for (const auto& [member, key] : {std::pair{u"anthropicApiKey"_s, answers.anthropicApiKey},
                                      std::pair{u"openaiApiKey"_s, answers.openaiApiKey},
                                      std::pair{u"openrouterApiKey"_s, answers.openrouterApiKey}}) {
        if (key)
            expected.insert(member, *key);
    }
    fuzz::check(document.object() == expected,
                "exactly the lists and the present keys, each parsing back unchanged",
                QString::fromUtf8(json));
    return 0;
}
