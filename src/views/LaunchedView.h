#pragma once

#include "Callbacks.h"

#include "flow/ScreenData.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QVBoxLayout;

namespace corvane {

class PushButton;
class TerminalCommandRow;
class TextLabel;

// The success screen: a check mark, whether Corvane is now set up or up to date, and one copyable
// row per start command of the tools the run set up. "Done" is the default action and calls
// onDone. Rows copy through copyText.
class LaunchedView : public QWidget {
    Q_OBJECT
public:
    LaunchedView(const LaunchedData& record, Action onDone, TextCopier copyText,
                 QWidget* parent = nullptr);

    // Redraws in place. A row whose command is still listed keeps its state (a showing check
    // mark stays); rows of commands no longer listed go.
    void setData(const LaunchedData& record);

    // The start command of each known tool id (see CorvaneCli.h), in ascending order;
    // unknown ids are skipped, duplicates kept.
    static QStringList commands(const QStringList& harnessIds);

    QList<TerminalCommandRow*> rows() const { return m_rows; }

private:
    TextCopier m_copyText;
    TextLabel* m_title;
    QWidget* m_list;
    QVBoxLayout* m_listLayout;
    QList<TerminalCommandRow*> m_rows;
    PushButton* m_done;
};

} // namespace corvane
