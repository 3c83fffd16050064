// The quoting of command lines on arbitrary argument lists.
//
// Properties: a list with a NUL in any argument gets no command line; every other list's command
// line, split by the shell grammar of its dialect, gives back exactly the arguments, and never
// holds an unquoted character that the shell would expand.
#include "FuzzCheck.h"
#include "ShellSplitter.h"

#include "runner/ShellQuote.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// Arguments as UTF-16 code units straight from the input, lone surrogates and NULs included, so
// that quoting sees every string a QString can hold.
QString takeArgument(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRandomLengthString(256);
    if (bytes.size() % 2 == 0 && !bytes.empty() && static_cast<unsigned char>(bytes[0]) < 0x20)
        return QString(reinterpret_cast<const QChar*>(bytes.data()),
                       static_cast<qsizetype>(bytes.size() / 2));
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString show(const QStringList& words) { return u"["_s + words.join(u"]["_s) + u"]"_s; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QStringList arguments;
    const int count = input.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i)
        arguments.append(takeArgument(input));

    bool holdsNul = false;
    for (const QString& argument : arguments)
        holdsNul = holdsNul || argument.contains(QChar(u'\0'));

    for (const ShellDialect dialect : {ShellDialect::Posix, ShellDialect::Fish}) {
        const std::optional<QString> line = commandLine(arguments, dialect);
        fuzz::check(line.has_value() != holdsNul, "only a NUL refuses a command line",
                    show(arguments));
        if (!line)
            continue;
        const std::optional<QStringList> words = fuzz::splitCommandLine(*line, dialect);
        fuzz::check(words.has_value(), "the command line is safe to read", *line);
        fuzz::check(*words == arguments, "splitting gives back the arguments",
                    *line + u"\n"_s + show(*words) + u"\n"_s + show(arguments));
    }
    return 0;
}
