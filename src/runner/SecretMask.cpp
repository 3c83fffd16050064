#include "SecretMask.h"

#include <algorithm>

namespace corvane {

using namespace Qt::StringLiterals;

SecretMask::SecretMask(const QStringList& secrets)
{
    for (const QString& secret : secrets) {
        for (const QString& form : {secret, secret.trimmed()}) {
            if (!form.isEmpty() && !m_secrets.contains(form))
                m_secrets.append(form);
        }
    }
    std::stable_sort(m_secrets.begin(), m_secrets.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
}

QString SecretMask::masked(const QString& secret)
{
    const QString dots = u"\u2022\u2022\u2022\u2022"_s;
    if (secret.size() < minimumShownLength)
        return dots;
    // Four characters at most: a pair of surrogates is one.
    qsizetype shown = 4;
    if (secret.at(secret.size() - shown).isLowSurrogate())
        --shown;
    return dots + secret.right(shown);
}

QString SecretMask::apply(QString text) const
{
    for (const QString& secret : m_secrets)
        text.replace(secret, masked(secret));
    return text;
}

} // namespace corvane
