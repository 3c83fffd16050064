#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <variant>

namespace corvane {

// The runner's own error. It carries no message: the flow decides what the user reads. Made only
// through its two factories, so that no value stands for a case nobody chose.
struct SetupError {
    enum class Kind {
        ExitedWithStatus, // the command failed; output is the end of its cleaned text
        ScriptMissing,    // no file at the wrapper's path; nothing was started
    };

    Kind kind;
    qint32 status;  // ExitedWithStatus only; 0 otherwise
    QString output; // ExitedWithStatus only; empty otherwise

    static SetupError exitedWithStatus(qint32 status, QString output)
    {
        return SetupError(Kind::ExitedWithStatus, status, std::move(output));
    }
    static SetupError scriptMissing() { return SetupError(Kind::ScriptMissing, 0, {}); }

    bool operator==(const SetupError&) const = default;

private:
    SetupError(Kind kind_, qint32 status_, QString output_)
        : kind(kind_)
        , status(status_)
        , output(std::move(output_))
    {
    }
};

// A failure of the system underneath a run (writing the answers file, launching the wrapper, an
// argument no command line can carry), with the system's own description.
struct SystemError {
    QString message;

    bool operator==(const SystemError&) const = default;
};

using RunError = std::variant<SetupError, SystemError>;

// The outcome of a run: no error means the command ended with status 0.
using RunResult = std::optional<RunError>;

} // namespace corvane
