#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

// Hides the secrets of one run (its API keys) wherever they appear in a text, so that output a
// command echoed them in never reaches the screen, the clipboard or a screen reader.
//
// A secret of minimumShownLength characters or more becomes "••••" and its last four characters
// ("••••1234"); a shorter one becomes "••••" alone. A secret with white space at either end is also
// hidden as trimmed, the way a program that trims its input would echo it. Longer secrets are
// replaced first, so that one holding another is hidden whole.
class SecretMask {
public:
    static constexpr qsizetype minimumShownLength = 8;

    SecretMask() = default;
    explicit SecretMask(const QStringList& secrets);

    QString apply(QString text) const;

    // The length of the longest secret; 0 without any.
    qsizetype longest() const { return m_secrets.isEmpty() ? 0 : m_secrets.first().size(); }

    // What a secret is replaced by.
    static QString masked(const QString& secret);

private:
    QStringList m_secrets; // longest first, no empty ones
};

} // namespace corvane
