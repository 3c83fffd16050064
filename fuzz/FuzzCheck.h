#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace corvane::fuzz {

// A broken property: says which, shows the values involved, and aborts so that libFuzzer keeps
// the input that broke it.
[[noreturn]] inline void fail(const char* property, const QString& detail = {})
{
    std::fprintf(stderr, "property broken: %s\n", property);
    if (!detail.isEmpty())
        std::fprintf(stderr, "%s\n", detail.toUtf8().toPercentEncoding(" ").constData());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool holds, const char* property, const QString& detail = {})
{
    if (!holds)
        fail(property, detail);
}

} // namespace corvane::fuzz
