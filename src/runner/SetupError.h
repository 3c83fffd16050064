#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <variant>

namespace corvane {

// The runner's own error. It carries no message: the flow decides what the user reads.
struct SetupError {
    enum class Kind {
        ExitedWithStatus, // the wrapper ended with a non-zero status; output is its cleaned text
        ScriptMissing,    // no file at the wrapper's path; nothing was started
    };

    Kind kind = Kind::ScriptMissing;
    qint32 status = 0;
    QString output;

    static SetupError exitedWithStatus(qint32 status, QString output)
    {
        return {Kind::ExitedWithStatus, status, std::move(output)};
    }
    static SetupError scriptMissing() { return {}; }

    bool operator==(const SetupError&) const = default;
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
