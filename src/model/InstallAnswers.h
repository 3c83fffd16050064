#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// Everything the installer needs from the user. Holds API keys in clear text: it is written only
// to the private answers file of one run and never logged.
struct InstallAnswers {
    QStringList harnesses;     // tool ids to set up, each once
    QStringList claudeFunding; // funding ids for Claude Code, the first tried first; empty when
                               // Claude Code is not set up
    QStringList codexFunding;  // the same for Codex
    std::optional<QString> anthropicApiKey;
    std::optional<QString> openaiApiKey;
    std::optional<QString> openrouterApiKey;

    // The answers file's content: one compact JSON object in UTF-8. "harnesses", "claudeFunding"
    // and "codexFunding" are always present (empty lists as empty arrays); each key member is
    // present exactly when its key is, written as held, never as null. Member order carries no
    // meaning to the installer.
    QByteArray toJson() const;

    // The keys that are present, in the order above.
    QStringList keys() const;

    bool operator==(const InstallAnswers&) const = default;
};

} // namespace corvane
