// The manifest reader on arbitrary bytes.
//
// Properties: records come only from a top-level object whose "installations" is an array of
// objects; their ids are the string "harness" members of those objects, in order, at most one
// record each; Claude Code funding appears only on "claude-code" records and Codex funding only on
// "codex" ones; and the result depends on the JSON value alone, not on how it is written.
#include "FuzzCheck.h"

#include "model/Manifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using namespace corvane;
using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<ExistingHarness> found = parseManifest(bytes);

    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonValue installations =
        document.isObject() ? document.object().value("installations"_L1) : QJsonValue();
    if (!installations.isArray()) {
        fuzz::check(found.isEmpty(), "no records without an installations array");
        return 0;
    }

    // Each record matches an installation after the one the previous record matched.
    const QJsonArray entries = installations.toArray();
    bool allObjects = true;
    for (const QJsonValue& entry : entries)
        allObjects = allObjects && entry.isObject();
    fuzz::check(allObjects || found.isEmpty(), "one element that is not an object spoils all");

    qsizetype next = 0;
    for (const ExistingHarness& harness : found) {
        while (next < entries.size() &&
               entries.at(next).toObject().value("harness"_L1) != QJsonValue(harness.id))
            ++next;
        fuzz::check(next < entries.size() && entries.at(next).isObject(),
                    "each record is an installation, in file order", harness.id);
        ++next;
        fuzz::check(!harness.claudeFunding || harness.id == u"claude-code"_s,
                    "Claude Code funding only for claude-code", harness.id);
        fuzz::check(!harness.codexFunding || harness.id == u"codex"_s,
                    "Codex funding only for codex", harness.id);
    }

    // The same value written compactly reads the same.
    fuzz::check(parseManifest(document.toJson(QJsonDocument::Compact)) == found,
                "the reading depends on the JSON value alone");
    return 0;
}
