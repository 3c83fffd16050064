#include "LaunchedView.h"

#include "Look.h"
#include "PushButton.h"
#include "ScreenColumn.h"
#include "SymbolView.h"
#include "TerminalCommandRow.h"
#include "TextLabel.h"

#include "model/Catalog.h"
#include "model/CorvaneCli.h"

#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

using namespace Qt::StringLiterals;

LaunchedView::LaunchedView(const LaunchedData& record, Action onDone, TextCopier copyText,
                           QWidget* parent)
    : QWidget(parent)
    , m_copyText(std::move(copyText))
{
    auto* column = new ScreenColumn(this);

    auto* mark = new SymbolView(look::Symbol::CheckCircleFilled, 46, this);
    mark->setTint(SymbolView::Tint::Green);
    column->addCentred(mark);
    column->addSpacing(14);
    m_title = new TextLabel(QString(), 20, QFont::DemiBold, look::Level::Primary, this);
    column->addWidget(m_title);

    // The heading and the list come and go together with their gaps.
    m_list = new QWidget(this);
    auto* listColumn = new QVBoxLayout(m_list);
    listColumn->setContentsMargins(0, 8, 0, 0);
    listColumn->setSpacing(0);
    listColumn->addWidget(new TextLabel(u"Run this in Terminal to get started:"_s, 13,
                                        QFont::Normal, look::Level::Secondary, m_list));
    listColumn->addSpacing(16);
    m_listLayout = new QVBoxLayout;
    m_listLayout->setSpacing(8);
    listColumn->addLayout(m_listLayout);
    column->addWidget(m_list);

    column->addStretch(1);
    m_done = column->addBottomButton(u"Done"_s, std::move(onDone));

    setData(record);
}

QStringList LaunchedView::commands(const QStringList& harnessIds)
{
    QStringList result;
    for (const QString& id : harnessIds) {
        if (id == ids::claudeCode)
            result.append(cli::claudeStartCommand.toString());
        else if (id == ids::codex)
            result.append(cli::codexStartCommand.toString());
    }
    result.sort();
    return result;
}

void LaunchedView::setData(const LaunchedData& record)
{
    m_title->setText(record.isReturning ? u"Corvane is up to date"_s : u"Corvane is set up"_s);

    const QStringList wanted = commands(record.harnessIds);
    QList<TerminalCommandRow*> kept;
    QList<TerminalCommandRow*> old = m_rows;
    for (const QString& command : wanted) {
        const auto same = std::find_if(old.begin(), old.end(), [&](TerminalCommandRow* row) {
            return row->command() == command;
        });
        if (same != old.end()) {
            kept.append(*same);
            old.erase(same);
        } else {
            kept.append(new TerminalCommandRow(command, m_copyText, m_list));
        }
    }
    for (TerminalCommandRow* row : old) {
        m_listLayout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    // Rows in the listed order, and the keyboard walks them before "Done".
    QWidget* previous = nullptr;
    for (TerminalCommandRow* row : kept) {
        m_listLayout->removeWidget(row);
        m_listLayout->addWidget(row);
        if (previous)
            setTabOrder(previous, row);
        previous = row;
    }
    if (previous)
        setTabOrder(previous, m_done);
    m_rows = kept;
    m_list->setVisible(!m_rows.isEmpty());
}

} // namespace corvane
