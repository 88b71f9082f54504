#include "platform/terminal.h"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace kvx::Terminal {

bool isTerminal(Stream stream) {
    return isatty(fileno(stream == Stream::Output ? stdout : stderr)) != 0;
}

} // namespace kvx::Terminal
