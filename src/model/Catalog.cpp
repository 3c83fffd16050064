#include "Catalog.h"

#include "Paths.h"

namespace corvane {

using namespace Qt::StringLiterals;

bool Harness::isDetected() const { return existsAt(expandTilde(configPath)); }

const QList<Harness>& harnesses()
{
    static const QList<Harness> catalog{
        {ids::claudeCode.toString(), u"Claude Code"_s, u"~/.claude/settings.json"_s},
        {ids::codex.toString(), u"Codex"_s, u"~/.codex/config.toml"_s},
    };
    return catalog;
}

const QList<FundingOption>& claudeFundingOptions()
{
    static const QList<FundingOption> options{
        {ids::subscription.toString(), u"Claude subscription"_s, false},
        {ids::anthropicApi.toString(), u"Anthropic API key"_s, true},
        {ids::openrouter.toString(), u"OpenRouter API key"_s, true},
    };
    return options;
}

const QList<FundingOption>& codexFundingOptions()
{
    static const QList<FundingOption> options{
        {ids::subscription.toString(), u"ChatGPT subscription"_s, false},
        {ids::openaiApi.toString(), u"OpenAI API key"_s, true},
        {ids::openrouter.toString(), u"OpenRouter API key"_s, true},
    };
    return options;
}

QList<Harness> detectedHarnesses()
{
    QList<Harness> found;
    for (const Harness& harness : harnesses()) {
        if (harness.isDetected())
            found.append(harness);
    }
    return found;
}

} // namespace corvane
