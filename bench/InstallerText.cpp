#include "InstallerText.h"

namespace corvane::bench {

namespace {

// About 4 KiB of output, numbered so that no two blocks are alike.
QByteArray block(int n)
{
    static const char* const frames[] = {"⠋", "⠙", "⠹", "⠸", "⠼", "⠴", "⠦", "⠧", "⠇", "⠏"};
    const QByteArray number = QByteArray::number(n);
    QByteArray text;
    text += "\033]0;npm install corvane@latest\007\033[?25l";
    for (const char* frame : frames)
        text += QByteArray("\r\033[2K\033[36m") + frame + "\033[39m Resolving corvane@latest (" +
                number + ")";
    text += "\r\033[2K\033[?25h";
    text += "\033[33mnpm\033[39m \033[43m\033[30mwarn\033[39m\033[49m \033[35mdeprecated\033[39m "
            "inflight@1.0.6: This module is not supported, and leaks memory. Do not use it.\n";
    for (int step = 0; step <= 20; ++step)
        text += "\r[" + QByteArray(step, '#') + QByteArray(20 - step, '-') + "] " +
                QByteArray::number(step * 5) + "% reify:lodash-" + number +
                ": timing reifyNode:node_modules/lodash Completed in " + QByteArray::number(step) +
                "ms\033[K";
    text += "\r\033[2K";
    text += "added " + number + " packages, and audited " + number + " packages in 4s\n";
    text += "\033[1m\033[32m✔\033[39m\033[22m Linked corvane to ~/.local/bin/corv\n";
    text += "  \033[2m│\033[22m claude-code: \033[1msubscription\033[22m (café, naïve, 日本語)\n";
    return text;
}

} // namespace

QByteArray installerText(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 8192);
    for (int n = 0; text.size() < size; ++n)
        text += block(n);
    text.truncate(size);
    // Cut after the last complete line, and fill up to size with plain text.
    const qsizetype end = text.lastIndexOf('\n') + 1;
    text.truncate(end);
    while (text.size() < size)
        text += QByteArray(std::min<qsizetype>(size - text.size(), 79), '.') + '\n';
    text.truncate(size);
    if (!text.isEmpty())
        text.back() = '\n';
    return text;
}

} // namespace corvane::bench
