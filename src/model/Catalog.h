#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace corvane {

// A supported coding tool.
struct Harness {
    QString id;         // exchanged with the installer and found in the manifest
    QString name;       // shown to the user
    QString configPath; // the tool's own config file; a leading "~" is the home folder

    // Whether the tool's config file exists, looked up afresh at every call. A directory at the
    // path counts; a dangling symbolic link does not. The file is never opened.
    bool isDetected() const;

    bool operator==(const Harness&) const = default;
};

// One way of paying for a tool. needsKey is descriptive: which key a choice asks for is decided
// by the funding id (see QuestionsModel).
struct FundingOption {
    QString id;
    QString name;
    bool needsKey = false;

    bool operator==(const FundingOption&) const = default;
};

namespace ids {
inline constexpr QStringView claudeCode = u"claude-code";
inline constexpr QStringView codex = u"codex";
inline constexpr QStringView subscription = u"subscription";
inline constexpr QStringView anthropicApi = u"anthropic-api";
inline constexpr QStringView openaiApi = u"openai-api";
inline constexpr QStringView openrouter = u"openrouter";
} // namespace ids

// The tool catalog, in the order tools are listed and detected: Claude Code, then Codex.
const QList<Harness>& harnesses();

// Funding choices of each tool, in display order.
const QList<FundingOption>& claudeFundingOptions();
const QList<FundingOption>& codexFundingOptions();

// The catalog filtered to the tools whose config file exists, in catalog order.
QList<Harness> detectedHarnesses();

} // namespace corvane
