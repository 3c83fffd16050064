#pragma once

#include "Callbacks.h"

#include <QAbstractButton>

#include <chrono>

namespace corvane {

// One shell command on a dark, terminal-like row: "$", the command, and a copy icon. The whole row
// is one button, named "Copy command: <command>" for screen readers. A click (or Space) puts
// exactly the command, without the "$", on the clipboard through copyText and shows a check mark
// in place of the copy icon for copiedDuration. Each click schedules its own reset and none
// cancels an earlier one: after two clicks one second apart, the first reset clears the mark.
class TerminalCommandRow : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds copiedDuration{1600};

    TerminalCommandRow(const QString& command, TextCopier copyText, QWidget* parent = nullptr);

    const QString& command() const { return m_command; }
    bool isCopied() const { return m_copied; }

    // How long the check mark shows after a click; copiedDuration unless changed.
    void setCopiedDuration(std::chrono::milliseconds duration) { m_duration = duration; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void copy();
    void setCopied(bool copied);

    QString m_command;
    TextCopier m_copyText;
    std::chrono::milliseconds m_duration = copiedDuration;
    bool m_copied = false;
};

} // namespace corvane
