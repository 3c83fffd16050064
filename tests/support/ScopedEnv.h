#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

namespace corvane::test {

// Environment variables changed for one scope. Each goes back to what it was, set or unset, when
// the guard goes, so a check that fails and returns early leaves the environment as it found it.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const char* name, const QByteArray& value) { set(name, value); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it)
            it->second ? qputenv(it->first, *it->second) : qunsetenv(it->first);
    }

    // Sets name to value; a null value unsets it, while an empty one sets it empty.
    void set(const char* name, const QByteArray& value)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name)
                                  ? std::optional<QByteArray>(qgetenv(name))
                                  : std::nullopt});
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }

private:
    QList<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

} // namespace corvane::test
