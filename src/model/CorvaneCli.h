#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QStringView>

// What this program relies on from the Corvane command-line tool, in one place.
//
// The tool is fetched and run by npx on every call, inside the user's login shell under a
// pseudo-terminal, with no keyboard input. The app guarantees it a terminal of 80 columns and 24
// rows, TERM set (xterm-256color unless the app's environment has one), HOME set, and standard
// input at end of file (the null device). It reads the answers file named by --config (readable by
// the user only, and existing only while the tool runs), keeps the installations manifest up to
// date after an install, and reports success by exit status 0 alone: any other status is a
// failure, and the end of its cleaned output (the last MiB) is the only explanation the user
// gets. After an install, the start commands below start the tools through Corvane.
namespace corvane::cli {

// The npm package that npx fetches and runs.
inline constexpr QStringView installPackage = u"corvane@latest";

// The package's page, where a user learns what Corvane is.
inline constexpr QStringView homePage = u"https://www.npmjs.com/package/corvane";

// The manifest the tool keeps, relative to the user's home folder.
inline constexpr QStringView manifestRelativePath = u".local/state/corvane/installations.json";

// The commands that start the tools through Corvane once they are set up.
inline constexpr QStringView claudeStartCommand = u"corv claude";
inline constexpr QStringView codexStartCommand = u"corv codex";

// The members of the answers file's one JSON object (see InstallAnswers::toJson()).
namespace answers {
inline constexpr QLatin1StringView harnesses{"harnesses"};             // tool ids
inline constexpr QLatin1StringView claudeFunding{"claudeFunding"};     // funding ids, in order
inline constexpr QLatin1StringView codexFunding{"codexFunding"};       // funding ids, in order
inline constexpr QLatin1StringView anthropicApiKey{"anthropicApiKey"}; // present with a key only
inline constexpr QLatin1StringView openaiApiKey{"openaiApiKey"};
inline constexpr QLatin1StringView openrouterApiKey{"openrouterApiKey"};
} // namespace answers

// The manifest's fields: {"installations": [entry, …]}, each entry an object with these members.
namespace manifest {
inline constexpr QLatin1StringView installations{"installations"};
inline constexpr QLatin1StringView harness{"harness"};   // the tool id
inline constexpr QLatin1StringView disabled{"disabled"}; // true or 1: the entry is ignored
inline constexpr QLatin1StringView userFundedProvider{"user_funded_provider"}; // a funding id
inline constexpr QLatin1StringView openaiSubscriptionAuth{"openai_subscription_auth"}; // Codex
// The provider that stands for the Claude subscription.
inline constexpr QStringView claudeSubscription = u"claude-subscription";
} // namespace manifest

// npx --yes corvane@latest install --config <answersPath> --yes
QStringList installArguments(const QString& answersPath);

// npx --yes corvane@latest update --all
QStringList updateArguments();

// Exit status 0 is success; every other status, signals included, is a failure.
constexpr bool succeeded(int exitStatus) { return exitStatus == 0; }

} // namespace corvane::cli
