#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace corvane {

// A tool that an earlier install manages, as the installations manifest lists it.
struct ExistingHarness {
    QString id; // as the manifest gives it, not checked against the catalog
    std::optional<QString> claudeFunding; // only ever set for "claude-code"
    std::optional<QString> codexFunding;  // only ever set for "codex"

    bool operator==(const ExistingHarness&) const = default;
};

// The installer's manifest under the home folder, resolved once on first use and then kept for
// the life of the process.
const QString& manifestPath();

// True when anything exists at manifestPath(), even an empty or unreadable file. Does not open it.
bool hasExistingInstall();

// The most of the manifest that is read. It runs on the main thread at start-up: a real manifest
// is a few hundred bytes, and a huge one would freeze the window and take gigabytes to parse.
inline constexpr qint64 manifestReadLimit = qint64(4) << 20;

// The manifest's installations, in file order with duplicates kept. Never fails: a missing,
// unreadable, non-regular or malformed manifest, one larger than manifestReadLimit, or one of an
// unexpected shape, gives an empty list.
QList<ExistingHarness> readExistingHarnesses();

// The parsing rules of readExistingHarnesses() applied to bytes already read.
QList<ExistingHarness> parseManifest(const QByteArray& json);

} // namespace corvane
