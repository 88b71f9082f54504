#pragma once

namespace kvx::Terminal {

enum class Stream { Output, Error };

// True when the program's standard output or error output is a terminal (not a file or a
// pipe): there a person watches, and a progress line may be shown.
bool isTerminal(Stream stream);

} // namespace kvx::Terminal
