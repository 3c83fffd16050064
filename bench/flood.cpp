// An installer that floods its terminal and fails: prints `megabytes` MiB of installer-like text,
// then the failure line, and exits with status 1.
//   corvane-flood <megabytes>
#include "InstallerText.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool writeAll(const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, static_cast<size_t>(size));
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const qsizetype total = (argc > 1 ? std::atoll(argv[1]) : 64) * 1024 * 1024;
    const QByteArray chunk = corvane::bench::installerText(1024 * 1024);
    for (qsizetype sent = 0; sent < total; sent += chunk.size()) {
        if (!writeAll(chunk.constData(), std::min(chunk.size(), total - sent)))
            return 2;
    }
    const char* last = corvane::bench::lastLine;
    writeAll(last, static_cast<qsizetype>(std::strlen(last)));
    writeAll("\n", 1);
    return 1;
}
