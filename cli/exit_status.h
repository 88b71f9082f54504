#pragma once

namespace kvx {

// What the command line's exit status says, for scripts.
enum class ExitStatus {
    Done = 0,           // everything done (a check: nothing found)
    RecordsRefused = 1, // the server refused some records (a check: findings)
    Unknown = 2,        // the outcome is not known, or the connection failed
    BadInput = 3        // bad arguments, or a file or setting that is missing or wrong
};

inline int exitCode(ExitStatus status) {
    return int(status);
}

} // namespace kvx
