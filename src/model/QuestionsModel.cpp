#include "QuestionsModel.h"

#include <algorithm>

namespace corvane {

namespace {

bool isTrimmable(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

// The funding of the first installation of a tool, or "subscription" when it has none.
QString seededFunding(const QList<ExistingHarness>& existing, QStringView toolId,
                      std::optional<QString> ExistingHarness::*funding)
{
    const auto first = std::find_if(existing.begin(), existing.end(),
                                    [&](const ExistingHarness& h) { return h.id == toolId; });
    if (first != existing.end() && ((*first).*funding))
        return *((*first).*funding);
    return ids::subscription.toString();
}

std::optional<QString> presentIfNotEmpty(const QString& key)
{
    return key.isEmpty() ? std::nullopt : std::optional<QString>(key);
}

} // namespace

bool isBlank(QStringView text) { return std::all_of(text.begin(), text.end(), isTrimmable); }

QuestionsModel::QuestionsModel(const QList<Harness>& detected,
                               const QList<ExistingHarness>& existing, QObject* parent)
    : QObject(parent)
    , m_isReturning(!existing.isEmpty())
    , m_claudeFunding(seededFunding(existing, ids::claudeCode, &ExistingHarness::claudeFunding))
    , m_codexFunding(seededFunding(existing, ids::codex, &ExistingHarness::codexFunding))
{
    if (!existing.isEmpty()) {
        for (const ExistingHarness& harness : existing)
            m_selected.insert(harness.id);
    } else {
        for (const Harness& harness : detected.isEmpty() ? harnesses() : detected)
            m_selected.insert(harness.id);
    }
}

void QuestionsModel::setSelectedHarnesses(const QSet<QString>& ids)
{
    if (m_selected == ids)
        return;
    m_selected = ids;
    emit changed();
}

void QuestionsModel::setSelected(const QString& harnessId, bool selected)
{
    QSet<QString> next = m_selected;
    if (selected)
        next.insert(harnessId);
    else
        next.remove(harnessId);
    setSelectedHarnesses(next);
}

void QuestionsModel::assign(QString& field, const QString& value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

void QuestionsModel::setClaudeFunding(const QString& id) { assign(m_claudeFunding, id); }
void QuestionsModel::setCodexFunding(const QString& id) { assign(m_codexFunding, id); }
void QuestionsModel::setAnthropicApiKey(const QString& key) { assign(m_anthropicApiKey, key); }
void QuestionsModel::setOpenaiApiKey(const QString& key) { assign(m_openaiApiKey, key); }
void QuestionsModel::setOpenrouterApiKey(const QString& key) { assign(m_openrouterApiKey, key); }

bool QuestionsModel::wantsClaude() const { return m_selected.contains(ids::claudeCode.toString()); }

bool QuestionsModel::wantsCodex() const { return m_selected.contains(ids::codex.toString()); }

QList<QuestionStep> QuestionsModel::steps() const
{
    QList<QuestionStep> list{QuestionStep::Tools};
    if (wantsClaude())
        list.append(QuestionStep::ClaudeFunding);
    if (wantsCodex())
        list.append(QuestionStep::CodexFunding);
    return list;
}

bool QuestionsModel::canSubmit() const
{
    if (m_selected.isEmpty())
        return false;
    if (wantsClaude() && m_claudeFunding == ids::anthropicApi && isBlank(m_anthropicApiKey))
        return false;
    if (wantsCodex() && m_codexFunding == ids::openaiApi && isBlank(m_openaiApiKey))
        return false;
    const bool needsOpenrouter = (wantsClaude() && m_claudeFunding == ids::openrouter) ||
                                 (wantsCodex() && m_codexFunding == ids::openrouter);
    return !needsOpenrouter || !isBlank(m_openrouterApiKey);
}

InstallAnswers QuestionsModel::answers() const
{
    QStringList tools;
    for (const Harness& harness : harnesses()) {
        if (m_selected.contains(harness.id))
            tools.append(harness.id);
    }
    QStringList others;
    for (const QString& id : m_selected) {
        if (!tools.contains(id))
            others.append(id);
    }
    others.sort();
    tools += others;

    return InstallAnswers{
        tools,
        wantsClaude() ? QStringList{m_claudeFunding} : QStringList{},
        wantsCodex() ? QStringList{m_codexFunding} : QStringList{},
        presentIfNotEmpty(m_anthropicApiKey),
        presentIfNotEmpty(m_openaiApiKey),
        presentIfNotEmpty(m_openrouterApiKey),
    };
}

} // namespace corvane
