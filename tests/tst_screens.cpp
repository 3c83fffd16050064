// The screens as a user meets them: their texts, what their buttons, links and keys do, what a
// screen reader is told, the copy rows, long texts, and the drawn mark. Offscreen, real widgets.
#include "views/AppMark.h"
#include "views/DefaultAction.h"
#include "views/FailedView.h"
#include "views/InstallingView.h"
#include "views/LaunchedView.h"
#include "views/Look.h"
#include "views/NoNodeView.h"
#include "views/Spinner.h"
#include "views/SymbolView.h"
#include "views/TerminalCommandRow.h"
#include "views/TextLabel.h"
#include "views/WelcomeView.h"

#include "model/Catalog.h"
#include "support/Buttons.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

// What the screens reported, in order.
struct Intents {
    QStringList seen;
    Action record(const QString& name)
    {
        return [this, name] { seen.append(name); };
    }
    UrlOpener opener()
    {
        return [this](const QUrl& url) { seen.append(u"open "_s + url.toString()); };
    }
};

const Harness claude = harnesses().at(0);
const Harness codex = harnesses().at(1);

// The texts of a screen's labels and visible buttons, top to bottom, as the user reads them.
QStringList visibleTexts(QWidget* view)
{
    QList<QWidget*> shown;
    for (QWidget* w : view->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(view))
            continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w))
            shown.append(w);
    }
    std::stable_sort(shown.begin(), shown.end(), [view](QWidget* a, QWidget* b) {
        return a->mapTo(view, QPoint()).y() < b->mapTo(view, QPoint()).y();
    });
    QStringList texts;
    for (QWidget* w : shown) {
        if (auto* label = qobject_cast<QLabel*>(w))
            texts.append(label->text());
        else
            texts.append(static_cast<QAbstractButton*>(w)->text());
    }
    return texts;
}

// Shows view at the window's size and waits until it can take keys.
void present(QWidget* view)
{
    view->resize(520, 460);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

using ViewMaker = std::function<QWidget*(Intents&)>;

} // namespace

Q_DECLARE_METATYPE(ViewMaker)

class TestScreens : public QObject {
    Q_OBJECT
private slots:
    void welcomeTexts_data();
    void welcomeTexts();
    void machineIsNamed_data();
    void machineIsNamed();
    void buttonsAndLinks_data();
    void buttonsAndLinks();
    void returnKey_data();
    void returnKey();
    void tabWalksInReadingOrder_data();
    void tabWalksInReadingOrder();
    void redrawInPlace();
    void recheckLineKeepsItsHeight();
    void successCommands_data();
    void successCommands();
    void copyRow();
    void copyMarkResetIsNotPostponed();
    void rowsKeepTheirStateAcrossRedraws();
    void longTextsWrapAndStayReachable_data();
    void longTextsWrapAndStayReachable();
    void spinnerTurnsOnlyWhileShown();
    void accessibility();
    void appMarkFillsItsArea_data();
    void appMarkFillsItsArea();
    void darkPalettesStayLegible_data();
    void darkPalettesStayLegible();
};

void TestScreens::welcomeTexts_data()
{
    QTest::addColumn<QList<Harness>>("detected");
    QTest::addColumn<bool>("isReturning");
    QTest::addColumn<QStringList>("texts");
    const QString machine = machineName.toString();
    const QString subtitle = u"Spend less on Claude Code and Codex."_s;
    const QString learn = u"Learn more about Corvane"_s;
    QTest::newRow("no tool") << QList<Harness>{} << false
                             << QStringList{
                                    u"Set up Corvane"_s, subtitle,
                                    u"No coding tools found yet \u2014 setup will help you pick."_s,
                                    u"Start setup"_s, learn};
    QTest::newRow("one tool") << QList<Harness>{claude} << false
                              << QStringList{u"Set up Corvane"_s, subtitle,
                                             u"Found Claude Code on this %1."_s.arg(machine),
                                             u"Start setup"_s, learn};
    QTest::newRow("both tools") << QList<Harness>{claude, codex} << false
                                << QStringList{
                                       u"Set up Corvane"_s, subtitle,
                                       u"Found Claude Code and Codex on this %1."_s.arg(machine),
                                       u"Start setup"_s, learn};
    QTest::newRow("returning, tools not mentioned")
        << QList<Harness>{claude, codex} << true
        << QStringList{u"Corvane"_s,
                       subtitle,
                       u"Corvane is already set up on this %1."_s.arg(machine),
                       u"Update Version"_s,
                       u"Change tools or funding"_s,
                       learn};
}

void TestScreens::welcomeTexts()
{
    QFETCH(QList<Harness>, detected);
    QFETCH(bool, isReturning);
    QFETCH(QStringList, texts);
    Intents intents;
    WelcomeView view({detected, isReturning}, intents.record(u"refresh"_s),
                     intents.record(u"manage"_s), intents.opener());
    present(&view);
    QCOMPARE(visibleTexts(&view), texts);
}

void TestScreens::machineIsNamed_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("macOS")
        << u"Mac"_s
        << QStringList{
               u"Found Claude Code on this Mac."_s,
               u"Found A, B and C on this Mac."_s,
               u"Corvane is already set up on this Mac."_s,
               u"Corvane runs on Node.js, which isn\u2019t installed on this Mac "
               "yet. Install it, then come back here."_s,
           };
    QTest::newRow("elsewhere")
        << u"computer"_s
        << QStringList{
               u"Found Claude Code on this computer."_s,
               u"Found A, B and C on this computer."_s,
               u"Corvane is already set up on this computer."_s,
               u"Corvane runs on Node.js, which isn\u2019t installed on this computer yet. "
               "Install it, then come back here."_s,
           };
}

void TestScreens::machineIsNamed()
{
    QFETCH(QString, machine);
    QFETCH(QStringList, texts);
    const QList<Harness> abc{{u"a"_s, u"A"_s, {}}, {u"b"_s, u"B"_s, {}}, {u"c"_s, u"C"_s, {}}};
    QCOMPARE((QStringList{WelcomeView::statusText({{claude}, false}, machine),
                          WelcomeView::statusText({abc, false}, machine),
                          WelcomeView::statusText({abc, true}, machine),
                          NoNodeView::explanation(machine)}),
             texts);
#ifndef Q_OS_MACOS
    // Off macOS the screens never say "Mac".
    Intents intents;
    NoNodeView noNode({}, intents.record(u"recheck"_s), intents.opener());
    QVERIFY(!visibleTexts(&noNode).join(u' ').contains(u"Mac"_s));
#endif
}

void TestScreens::buttonsAndLinks_data()
{
    QTest::addColumn<ViewMaker>("make");
    QTest::addColumn<QString>("press");
    QTest::addColumn<QString>("intent");
    const auto welcome = [](bool returning) {
        return ViewMaker([returning](Intents& i) -> QWidget* {
            return new WelcomeView({{claude}, returning}, i.record(u"refresh"_s),
                                   i.record(u"manage"_s), i.opener());
        });
    };
    const ViewMaker noNode = [](Intents& i) -> QWidget* {
        return new NoNodeView({}, i.record(u"recheck"_s), i.opener());
    };
    QTest::newRow("start setup") << welcome(false) << u"Start setup"_s << u"manage"_s;
    QTest::newRow("update") << welcome(true) << u"Update Version"_s << u"refresh"_s;
    QTest::newRow("change") << welcome(true) << u"Change tools or funding"_s << u"manage"_s;
    QTest::newRow("learn more") << welcome(false) << u"Learn more about Corvane"_s
                                << u"open https://www.npmjs.com/package/corvane"_s;
    QTest::newRow("check again") << noNode << u"Check again"_s << u"recheck"_s;
    QTest::newRow("get node") << noNode << u"Get Node.js"_s
                              << u"open https://nodejs.org/en/download"_s;
    const ViewMaker failed = [](Intents& i) -> QWidget* {
        return new FailedView({u"x"_s, u"npm error code E404\nx"_s}, i.record(u"retry"_s),
                              [&i](const QString& text) { i.seen.append(u"copy "_s + text); });
    };
    QTest::newRow("try again") << failed << u"Try again"_s << u"retry"_s;
    QTest::newRow("copy details") << failed << u"Copy details"_s
                                  << u"copy npm error code E404\nx"_s;
    QTest::newRow("done") << ViewMaker([](Intents& i) -> QWidget* {
        return new LaunchedView({false, {u"codex"_s}}, i.record(u"done"_s), [](const QString&) {});
    }) << u"Done"_s << u"done"_s;
}

void TestScreens::buttonsAndLinks()
{
    QFETCH(ViewMaker, make);
    QFETCH(QString, press);
    QFETCH(QString, intent);
    Intents intents;
    std::unique_ptr<QWidget> view(make(intents));
    present(view.get());
    QAbstractButton* target = button(view.get(), press);
    QVERIFY(target);
    QTest::mouseClick(target, Qt::LeftButton);
    // And by keyboard: Space on the focused control.
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Space);
    QCOMPARE(intents.seen, (QStringList{intent, intent}));
}

void TestScreens::returnKey_data()
{
    QTest::addColumn<ViewMaker>("make");
    QTest::addColumn<QString>("focus"); // the control that has the focus; empty: none
    QTest::addColumn<QStringList>("intents");
    const auto welcome = [](bool returning) {
        return ViewMaker([returning](Intents& i) -> QWidget* {
            return new WelcomeView({{}, returning}, i.record(u"refresh"_s), i.record(u"manage"_s),
                                   i.opener());
        });
    };
    const ViewMaker noNode = [](Intents& i) -> QWidget* {
        return new NoNodeView({true}, i.record(u"recheck"_s), i.opener());
    };
    const ViewMaker launched = [](Intents& i) -> QWidget* {
        return new LaunchedView({false, {u"claude-code"_s}}, i.record(u"done"_s),
                                [&i](const QString& text) { i.seen.append(u"copy "_s + text); });
    };
    const ViewMaker failed = [](Intents& i) -> QWidget* {
        return new FailedView({u"boom"_s, u"boom"_s}, i.record(u"retry"_s),
                              [&i](const QString& text) { i.seen.append(u"copy "_s + text); });
    };
    QTest::newRow("new user") << welcome(false) << QString() << QStringList{u"manage"_s};
    QTest::newRow("new user, on the link")
        << welcome(false) << u"Learn more about Corvane"_s << QStringList{u"manage"_s};
    QTest::newRow("returning") << welcome(true) << QString() << QStringList{u"refresh"_s};
    QTest::newRow("returning, on the change link")
        << welcome(true) << u"Change tools or funding"_s << QStringList{u"refresh"_s};
    QTest::newRow("node missing") << noNode << QString() << QStringList{};
    QTest::newRow("node missing, on check again") << noNode << u"Check again"_s << QStringList{};
    QTest::newRow("node missing, on get node") << noNode << u"Get Node.js"_s << QStringList{};
    QTest::newRow("success") << launched << QString() << QStringList{u"done"_s};
    QTest::newRow("success, on a copy row")
        << launched << u"corv claude"_s << QStringList{u"done"_s};
    QTest::newRow("failure") << failed << QString() << QStringList{u"retry"_s};
    QTest::newRow("failure, on copy details")
        << failed << u"Copy details"_s << QStringList{u"retry"_s};
}

void TestScreens::returnKey()
{
    QFETCH(ViewMaker, make);
    QFETCH(QString, focus);
    QFETCH(QStringList, intents);
    Intents seen;
    std::unique_ptr<QWidget> view(make(seen));
    present(view.get());
    QWidget* target = view.get();
    if (!focus.isEmpty()) {
        target = button(view.get(), focus);
        QVERIFY(target);
        target->setFocus();
    }
    QTest::keyClick(target, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    QStringList twice = intents + intents;
    QCOMPARE(seen.seen, twice);
    // With a modifier, Return is someone else's.
    QTest::keyClick(target, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(seen.seen, twice);
}

void TestScreens::tabWalksInReadingOrder_data()
{
    QTest::addColumn<ViewMaker>("make");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("welcome, returning")
        << ViewMaker([](Intents& i) -> QWidget* {
               return new WelcomeView({{}, true}, i.record(u"refresh"_s), i.record(u"manage"_s),
                                      i.opener());
           })
        << QStringList{u"Update Version"_s, u"Change tools or funding"_s,
                       u"Learn more about Corvane"_s};
    QTest::newRow("node missing") << ViewMaker([](Intents& i) -> QWidget* {
        return new NoNodeView({}, i.record(u"recheck"_s), i.opener());
    }) << QStringList{u"Check again"_s, u"Get Node.js"_s};
    // Rows are made after "Done", and still come before it.
    QTest::newRow("success") << ViewMaker([](Intents&) -> QWidget* {
        auto* view = new LaunchedView(
            {false, {u"codex"_s}}, [] {}, [](const QString&) {});
        view->setData({false, {u"codex"_s, u"claude-code"_s}});
        return view;
    }) << QStringList{u"corv claude"_s, u"corv codex"_s, u"Done"_s};
}

void TestScreens::tabWalksInReadingOrder()
{
    QFETCH(ViewMaker, make);
    QFETCH(QStringList, order);
    Intents intents;
    std::unique_ptr<QWidget> view(make(intents));
    present(view.get());
    QVERIFY(QTest::qWaitForWindowActive(view.get()));
    QAbstractButton* first = button(view.get(), order.first());
    QVERIFY(first);
    first->setFocus();
    QStringList walked;
    for (int i = 0; i < order.size(); ++i) {
        auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        QVERIFY(focused);
        walked.append(focused->text());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(walked, order);
    // And round again to the first.
    QCOMPARE(QApplication::focusWidget(), first);
}

void TestScreens::redrawInPlace()
{
    Intents intents;
    WelcomeView view({{}, false}, intents.record(u"refresh"_s), intents.record(u"manage"_s),
                     intents.opener());
    present(&view);
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QAbstractButton* start = button(&view, u"Start setup"_s);
    QVERIFY(start);
    start->setFocus();
    view.setData({{codex}, true});
    // The focus follows the primary button rather than falling to the next control.
    QCOMPARE(QApplication::focusWidget(), button(&view, u"Update Version"_s));
    QCOMPARE(visibleTexts(&view).at(2),
             u"Corvane is already set up on this %1."_s.arg(machineName));
    // The default action follows the visible primary button.
    QTest::keyClick(&view, Qt::Key_Return);
    view.setData({{codex}, false});
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(intents.seen, (QStringList{u"refresh"_s, u"manage"_s}));
}

void TestScreens::recheckLineKeepsItsHeight()
{
    Intents intents;
    NoNodeView view({false}, intents.record(u"recheck"_s), intents.opener());
    present(&view);
    const QStringList before = visibleTexts(&view);
    QCOMPARE(before.last(), u" "_s);
    auto* getNode = button(&view, u"Get Node.js"_s);
    QVERIFY(getNode);
    const int buttonsAt = getNode->mapTo(&view, QPoint()).y();
    view.setData({true});
    QCOMPARE(visibleTexts(&view).last(), u"Still not finding Node.js."_s);
    QCOMPARE(visibleTexts(&view).mid(0, before.size() - 1), before.mid(0, before.size() - 1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    view.layout()->activate();
    // Nothing above the line moves when it fills.
    QCOMPARE(getNode->mapTo(&view, QPoint()).y(), buttonsAt);
}

void TestScreens::successCommands_data()
{
    QTest::addColumn<bool>("isReturning");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("texts");
    const QString heading = u"Run this in Terminal to get started:"_s;
    QTest::newRow("none") << false << QStringList{}
                          << QStringList{u"Corvane is set up"_s, u"Done"_s};
    QTest::newRow("sorted") << false << QStringList{u"codex"_s, u"claude-code"_s}
                            << QStringList{u"Corvane is set up"_s, heading, u"corv claude"_s,
                                           u"corv codex"_s, u"Done"_s};
    QTest::newRow("unknown id only")
        << true << QStringList{u"gemini"_s} << QStringList{u"Corvane is up to date"_s, u"Done"_s};
    QTest::newRow("duplicates kept, unknown skipped")
        << true << QStringList{u"codex"_s, u"Codex"_s, u"codex"_s}
        << QStringList{u"Corvane is up to date"_s, heading, u"corv codex"_s, u"corv codex"_s,
                       u"Done"_s};
}

void TestScreens::successCommands()
{
    QFETCH(bool, isReturning);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, texts);
    LaunchedView view(
        {isReturning, ids}, [] {}, [](const QString&) {});
    present(&view);
    QCOMPARE(visibleTexts(&view), texts);
}

void TestScreens::copyRow()
{
    QStringList copied;
    TerminalCommandRow row(u"corv claude"_s, [&](const QString& text) { copied.append(text); });
    row.setCopiedDuration(std::chrono::milliseconds(100));
    present(&row);
    QVERIFY(!row.isCopied());
    QTest::mouseClick(&row, Qt::LeftButton);
    QCOMPARE(copied, QStringList{u"corv claude"_s});
    QVERIFY(row.isCopied());
    QTRY_VERIFY_WITH_TIMEOUT(!row.isCopied(), 2000);
}

void TestScreens::copyMarkResetIsNotPostponed()
{
    TerminalCommandRow row(u"corv codex"_s, [](const QString&) {});
    constexpr std::chrono::milliseconds duration(800);
    row.setCopiedDuration(duration);
    present(&row);
    // Clicked again halfway; a timer started then runs out after the first click's reset is due
    // and before a reset counted from the second click. Timers fire in the order they run out.
    QTimer after;
    after.setSingleShot(true);
    after.setTimerType(Qt::PreciseTimer);
    QSignalSpy ranOut(&after, &QTimer::timeout);
    row.click();
    QTimer::singleShot(duration / 2, Qt::PreciseTimer, &row, [&] {
        row.click();
        after.start(duration * 3 / 4);
    });
    QVERIFY(ranOut.wait(10000));
    QVERIFY(!row.isCopied());
}

void TestScreens::rowsKeepTheirStateAcrossRedraws()
{
    LaunchedView view(
        {false, {u"claude-code"_s, u"codex"_s}}, [] {}, [](const QString&) {});
    present(&view);
    TerminalCommandRow* claudeRow = view.rows().at(0);
    claudeRow->click();
    view.setData({false, {u"claude-code"_s}});
    QCOMPARE(view.rows().size(), 1);
    QCOMPARE(view.rows().first(), claudeRow);
    QVERIFY(claudeRow->isCopied());
    view.setData({false, {u"codex"_s, u"claude-code"_s}});
    QCOMPARE(view.rows().size(), 2);
    QCOMPARE(view.rows().at(0), claudeRow);
    QVERIFY(!view.rows().at(1)->isCopied());
}

void TestScreens::longTextsWrapAndStayReachable_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("words") << u"npm error "_s.repeated(30);
    QTest::newRow("one long word") << u"/home/dev/node_modules"_s.repeated(12);
    QTest::newRow("more than the window holds") << u"error: something failed "_s.repeated(200);
    QTest::newRow("empty") << QString();
    QTest::newRow("a whole log on one line") << u"npm error \U0001F4A5 "_s.repeated(100000);
    QTest::newRow("looks like HTML") << u"<title>502 Bad Gateway</title> &amp; R&D <b>"_s;
}

void TestScreens::longTextsWrapAndStayReachable()
{
    QFETCH(QString, message);
    FailedView view(
        {message, {}}, [] {}, [](const QString&) {});
    present(&view);
    QVERIFY(!button(&view, u"Copy details"_s)); // no details, no link
    view.layout()->activate();
    auto* area = view.findChild<QScrollArea*>();
    QVERIFY(area);
    auto* label = qobject_cast<TextLabel*>(area->widget());
    QVERIFY(label);
    // Drawn as plain text, and read out exactly as drawn.
    QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), label->text());
    if (message.size() <= FailedView::shownLength) {
        QCOMPARE(label->text(), message);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    } else {
        // Its beginning and its end, whole characters only.
        const QString shown = label->text();
        QVERIFY(shown.size() <= FailedView::shownLength + 1);
        const qsizetype cut = shown.indexOf(u'\u2026');
        QVERIFY(cut > 0);
        QVERIFY(message.startsWith(shown.left(cut)) && message.endsWith(shown.mid(cut + 1)));
        QVERIFY(!shown.at(cut - 1).isHighSurrogate() && !shown.at(cut + 1).isLowSurrogate());
    }
    // Every line fits the width it is given.
    const int width = area->viewport()->width();
    QVERIFY(label->lineCount(width) >= 1);
    QCOMPARE(label->lineCount(width) > 1, label->sizeHint().width() > width);
    // All of it can be seen, by scrolling if need be, and "Try again" stays on screen.
    const int reachable = area->viewport()->height() + area->verticalScrollBar()->maximum();
    QVERIFY2(reachable >= label->heightForWidth(width),
             qPrintable(u"%1 < %2"_s.arg(reachable).arg(label->heightForWidth(width))));
    auto* retry = button(&view, u"Try again"_s);
    QVERIFY(retry);
    QVERIFY(view.rect().contains(QRect(retry->mapTo(&view, QPoint()), retry->size())));
    QVERIFY(area->geometry().bottom() < retry->mapTo(&view, QPoint()).y());
}

void TestScreens::spinnerTurnsOnlyWhileShown()
{
    InstallingView view({u"Installing\u2026"_s});
    auto* spinner = view.findChild<Spinner*>();
    QVERIFY(spinner && !spinner->isSpinning());
    present(&view);
    QVERIFY(spinner->isSpinning());
    view.setData({u"Updating\u2026"_s});
    QCOMPARE(visibleTexts(&view).first(), u"Updating\u2026"_s);
    view.hide();
    QVERIFY(!spinner->isSpinning());
}

void TestScreens::accessibility()
{
    Intents intents;
    WelcomeView welcome({{claude}, true}, intents.record(u"refresh"_s), intents.record(u"manage"_s),
                        intents.opener());
    present(&welcome);
    const auto iface = [](QObject* o) {
        return o ? QAccessible::queryAccessibleInterface(o) : nullptr;
    };

    QAccessibleInterface* update = iface(button(&welcome, u"Update Version"_s));
    QAccessibleInterface* change = iface(button(&welcome, u"Change tools or funding"_s));
    QAccessibleInterface* mark = iface(welcome.findChild<AppMark*>());
    const QList<TextLabel*> labels = welcome.findChildren<TextLabel*>();
    QAccessibleInterface* status = iface(labels.value(2));
    QVERIFY(update && change && mark && status);
    QCOMPARE(update->role(), QAccessible::Button);
    QCOMPARE(update->text(QAccessible::Name), u"Update Version"_s);
    QVERIFY(update->state().defaultButton && update->state().focusable);
    QCOMPARE(change->text(QAccessible::Name), u"Change tools or funding"_s);
    QVERIFY(!change->state().defaultButton);
    QCOMPARE(mark->role(), QAccessible::Graphic);
    QVERIFY(mark->state().invisible);
    QCOMPARE(status->role(), QAccessible::StaticText);
    QCOMPARE(status->text(QAccessible::Name),
             u"Corvane is already set up on this %1."_s.arg(machineName));

    NoNodeView noNode({}, intents.record(u"recheck"_s), intents.opener());
    present(&noNode);
    QAccessibleInterface* symbol = iface(noNode.findChild<SymbolView*>());
    QVERIFY(symbol);
    QCOMPARE(symbol->role(), QAccessible::Graphic);
    QVERIFY(symbol->state().invisible);
    for (const QString& name : {u"Check again"_s, u"Get Node.js"_s}) {
        QAccessibleInterface* b = iface(button(&noNode, name));
        QVERIFY(b && !b->state().defaultButton);
    }

    LaunchedView launched(
        {false, {u"claude-code"_s}}, [] {}, [](const QString&) {});
    present(&launched);
    QCOMPARE(launched.rows().size(), 1);
    TerminalCommandRow* row = launched.rows().first();
    QAccessibleInterface* rowIface = iface(row);
    QCOMPARE(rowIface->role(), QAccessible::Button);
    QCOMPARE(rowIface->text(QAccessible::Name), u"Copy command: corv claude"_s);
    QVERIFY(rowIface->state().focusable);
    QVERIFY(rowIface->text(QAccessible::Description).isEmpty());
    row->click();
    QCOMPARE(rowIface->text(QAccessible::Description), u"Copied"_s);
    QAccessibleInterface* done = iface(button(&launched, u"Done"_s));
    QVERIFY(done && done->state().defaultButton);

    FailedView failed(
        {u"x"_s, u"x"_s}, [] {}, [](const QString&) {});
    present(&failed);
    QAccessibleInterface* copy = iface(button(&failed, u"Copy details"_s));
    QCOMPARE(copy->role(), QAccessible::Button);
    QCOMPARE(copy->text(QAccessible::Name), u"Copy details"_s);
    QVERIFY(copy->state().focusable && !copy->state().defaultButton);

    InstallingView installing({u"Installing\u2026"_s});
    present(&installing);
    QAccessibleInterface* spinner = iface(installing.findChild<Spinner*>());
    QVERIFY(spinner && spinner->role() == QAccessible::ProgressBar);
}

void TestScreens::appMarkFillsItsArea_data()
{
    QTest::addColumn<QSize>("area");
    QTest::newRow("welcome size") << QSize(76, 76);
    QTest::newRow("small") << QSize(24, 24);
    QTest::newRow("large") << QSize(300, 300);
    QTest::newRow("wider than high") << QSize(200, 80);
}

void TestScreens::appMarkFillsItsArea()
{
    QFETCH(QSize, area);
    AppMark mark;
    mark.setGraphicsEffect(nullptr); // the shadow falls outside the area; only the area here
    mark.resize(area);
    QImage image(area, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    mark.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const int w = area.width();
    const int h = area.height();
    // The square reaches every edge, and the corners are rounded away.
    for (const QPoint edge :
         {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
        QVERIFY(qAlpha(image.pixel(edge)) > 250);
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    // The letter sits in the middle, sized by the width.
    int inkLeft = w;
    int inkRight = -1;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (image.pixelColor(x, y).lightness() > 200) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
            }
        }
    }
    const qreal inkWidth = inkRight - inkLeft + 1;
    QVERIFY2(inkWidth > 0.25 * w && inkWidth < 0.5 * w, qPrintable(QString::number(inkWidth)));
    QVERIFY(std::abs((inkLeft + inkRight) / 2.0 - (w - 1) / 2.0) < 0.05 * w + 1);
}

namespace {

// The contrast ratio of the web's accessibility guidelines, with color composited over background.
qreal contrast(QColor color, const QColor& background)
{
    const qreal a = color.alphaF();
    color = QColor::fromRgbF(float(a * color.redF() + (1 - a) * background.redF()),
                             float(a * color.greenF() + (1 - a) * background.greenF()),
                             float(a * color.blueF() + (1 - a) * background.blueF()));
    const auto luminance = [](const QColor& c) {
        const auto linear = [](qreal v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const qreal first = luminance(color);
    const qreal second = luminance(background);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace

void TestScreens::darkPalettesStayLegible_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("highlight");
    QTest::newRow("Adwaita dark") << QColor(0x35, 0x35, 0x35) << QColor(0xee, 0xee, 0xec)
                                  << QColor(0x15, 0x53, 0x9e);
    QTest::newRow("black, navy highlight")
        << QColor(Qt::black) << QColor(Qt::white) << QColor(0x00, 0x00, 0x80);
    QTest::newRow("light: the highlight as it is")
        << QColor(0xef, 0xef, 0xef) << QColor(Qt::black) << QColor(0x30, 0x8c, 0xc6);
}

void TestScreens::darkPalettesStayLegible()
{
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QFETCH(QColor, highlight);
    QPalette palette(text, window, window, window, window, text, text, window, window);
    palette.setColor(QPalette::Highlight, highlight);
    if (!look::isDark(palette)) {
        QCOMPARE(look::accent(palette), highlight);
        QCOMPARE(look::accentText(palette), highlight);
        return;
    }
    // Marks and fills 3:1 against the window, links and secondary text 4.5:1, still blue.
    QVERIFY(contrast(look::accent(palette), window) >= 3.0);
    QVERIFY(contrast(look::accentText(palette), window) >= 4.5);
    QCOMPARE(look::accentText(palette).hslHue(), highlight.hslHue());
    QVERIFY(contrast(look::label(palette, look::Level::Secondary), window) >= 4.5);
    QVERIFY(contrast(look::label(palette, look::Level::Tertiary), window) >= 3.0);
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
