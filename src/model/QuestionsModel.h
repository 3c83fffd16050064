#pragma once

#include "Catalog.h"
#include "InstallAnswers.h"
#include "Manifest.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

namespace corvane {

// The steps of the questions screen, in the order they are asked.
enum class QuestionStep { Tools, ClaudeFunding, CodexFunding };

// True when text is empty once tabs and Unicode space separators (category Zs) are trimmed from
// both ends. Line breaks are not trimmed, so a key of line breaks alone is not blank.
bool isBlank(QStringView text);

// The answers of the questions screen while it is open: which tools, how each is funded, and the
// API keys typed so far. Seeded once at construction; afterwards only the user's edits change it.
// Lives on the main thread. Every setter that changes a field emits changed() after storing the
// new value; setting the value a field already holds emits nothing.
class QuestionsModel : public QObject {
    Q_OBJECT
public:
    // detected: the tools found on this machine, in catalog order. existing: the installations an
    // earlier install manages, empty for a new user.
    QuestionsModel(const QList<Harness>& detected, const QList<ExistingHarness>& existing,
                   QObject* parent = nullptr);

    // True when the model was given at least one earlier installation; fixed at construction.
    bool isReturning() const { return m_isReturning; }

    const QSet<QString>& selectedHarnesses() const { return m_selected; }
    const QString& claudeFunding() const { return m_claudeFunding; }
    const QString& codexFunding() const { return m_codexFunding; }
    const QString& anthropicApiKey() const { return m_anthropicApiKey; }
    const QString& openaiApiKey() const { return m_openaiApiKey; }
    const QString& openrouterApiKey() const { return m_openrouterApiKey; }

    void setSelectedHarnesses(const QSet<QString>& ids);
    void setSelected(const QString& harnessId, bool selected);
    void setClaudeFunding(const QString& id);
    void setCodexFunding(const QString& id);
    void setAnthropicApiKey(const QString& key);
    void setOpenaiApiKey(const QString& key);
    void setOpenrouterApiKey(const QString& key);

    bool wantsClaude() const;
    bool wantsCodex() const;

    // Tools first, then the funding step of each selected tool; follows the selection.
    QList<QuestionStep> steps() const;

    // At least one tool, and a non-blank key for every selected funding choice that needs one.
    bool canSubmit() const;

    // The record for the installer. Tools come in catalog order, then ids the catalog does not
    // know, sorted, so the file is the same for the same answers. Every non-empty key is passed
    // on exactly as typed, whichever funding is chosen.
    InstallAnswers answers() const;

signals:
    void changed();

private:
    void assign(QString& field, const QString& value);

    bool m_isReturning;
    QSet<QString> m_selected;
    QString m_claudeFunding;
    QString m_codexFunding;
    QString m_anthropicApiKey;
    QString m_openaiApiKey;
    QString m_openrouterApiKey;
};

} // namespace corvane
