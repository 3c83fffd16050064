#pragma once

#include <QAbstractButton>
#include <QTest>

namespace corvane::test {

// The button of view with this text that is shown (as far as view goes), or null.
inline QAbstractButton* button(QWidget* view, const QString& text)
{
    for (QAbstractButton* b : view->findChildren<QAbstractButton*>())
        if (b->text() == text && b->isVisibleTo(view))
            return b;
    return nullptr;
}

// Clicks that button; false when there is none, so that QVERIFY(press(…)) fails instead of
// clicking a null pointer.
inline bool press(QWidget* view, const QString& text)
{
    QAbstractButton* b = button(view, text);
    if (b)
        QTest::mouseClick(b, Qt::LeftButton);
    return b;
}

} // namespace corvane::test
