// The screens as a user meets them: their texts, what their buttons, links and keys do, what a
// screen reader is told, the copy rows, long texts, and the drawn mark. Offscreen, real widgets.
#include "views/AppMark.h"
#include "views/FailedView.h"
#include "views/LaunchedView.h"
#include "views/Look.h"
#include "views/NoNodeView.h"
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
    TextCopier copier()
    {
        return [this](const QString& text) { seen.append(u"copy "_s + text); };
    }
};

const Harness claude = harnesses().at(0);
const Harness codex = harnesses().at(1);

// The texts of a screen's labels and visible buttons, top to bottom, as the user reads them.
QStringList visibleTexts(QWidget* view)
{
    QList<QWidget*> shown;
    for (QWidget* w : view->findChildren<QWidget*>())
        if (w->isVisibleTo(view) && (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
            shown.append(w);
    std::stable_sort(shown.begin(), shown.end(), [view](QWidget* a, QWidget* b) {
        return a->mapTo(view, QPoint()).y() < b->mapTo(view, QPoint()).y();
    });
    QStringList texts;
    for (QWidget* w : shown)
        texts.append(w->property("text").toString()); // a label's or a button's
    return texts;
}

// Shows view at the window's size and waits until it can take keys.
void present(QWidget* view)
{
    view->resize(520, 460);
    view->show();
    QVERIFY(QTest::qWaitForWindowActive(view));
}

QAccessibleInterface* a11y(QObject* o)
{
    return o ? QAccessible::queryAccessibleInterface(o) : nullptr;
}

using ViewMaker = std::function<QWidget*(Intents&)>;

ViewMaker welcome(const WelcomeData& record)
{
    return [record](Intents& i) -> QWidget* {
        return new WelcomeView(record, i.record(u"refresh"_s), i.record(u"manage"_s), i.opener());
    };
}

// Built with first, then redrawn with then: rows made after "Done", in another order.
ViewMaker launched(const LaunchedData& first, const LaunchedData& then)
{
    return [first, then](Intents& i) -> QWidget* {
        auto* view = new LaunchedView(first, i.record(u"done"_s), i.copier());
        view->setData(then);
        return view;
    };
}

} // namespace

Q_DECLARE_METATYPE(ViewMaker)

class TestScreens : public QObject {
    Q_OBJECT
private slots:
    void screens_data();
    void screens();
    void machineIsNamed();
    void redrawInPlace();
    void copiedRows();
    void longTextsWrapAndStayReachable_data();
    void longTextsWrapAndStayReachable();
    void appMarkFillsItsArea_data();
    void appMarkFillsItsArea();
    void darkPalettesStayLegible_data();
    void darkPalettesStayLegible();
};

void TestScreens::screens_data()
{
    QTest::addColumn<ViewMaker>("make");
    QTest::addColumn<QStringList>("texts");    // top to bottom
    QTest::addColumn<QStringList>("controls"); // their names to a screen reader, in Tab order
    QTest::addColumn<QStringList>("does");     // what each control does when pressed
    QTest::addColumn<QString>("onReturn");     // what Return does anywhere; empty: nothing
    const QString subtitle = u"Spend less on Claude Code and Codex."_s;
    const QString learn = u"Learn more about Corvane"_s;
    const QString npm = u"open https://www.npmjs.com/package/corvane"_s;
    const QString heading = u"Run this in Terminal to get started:"_s;
    const QString copyClaude = u"Copy command: corv claude"_s,
                  copyCodex = u"Copy command: corv codex"_s;
    QTest::newRow("welcome, new")
        << welcome({{}, false})
        << QStringList{u"Set up Corvane"_s, subtitle,
                       u"No coding tools found yet \u2014 setup will help you pick."_s,
                       u"Start setup"_s, learn}
        << QStringList{u"Start setup"_s, learn} << QStringList{u"manage"_s, npm} << u"manage"_s;
    QTest::newRow("welcome, returning: tools not mentioned")
        << welcome({{claude, codex}, true})
        << QStringList{u"Corvane"_s,
                       subtitle,
                       u"Corvane is already set up on this %1."_s.arg(machineName),
                       u"Update Version"_s,
                       u"Change tools or funding"_s,
                       learn}
        << QStringList{u"Update Version"_s, u"Change tools or funding"_s, learn}
        << QStringList{u"refresh"_s, u"manage"_s, npm} << u"refresh"_s;
    QTest::newRow("node missing")
        << ViewMaker([](Intents& i) -> QWidget* {
               return new NoNodeView({}, i.record(u"recheck"_s), i.opener());
           })
        << QStringList{u"Node.js is required"_s,
                       u"Corvane runs on Node.js, which isn\u2019t installed on this %1 yet. "
                       "Install it, then come back here."_s.arg(machineName),
                       u"Check again"_s, u"Get Node.js"_s, u" "_s}
        << QStringList{u"Check again"_s, u"Get Node.js"_s}
        << QStringList{u"recheck"_s, u"open https://nodejs.org/en/download"_s} << QString();
    QTest::newRow("failed") << ViewMaker([](Intents& i) -> QWidget* {
        return new FailedView({u"x"_s, u"npm error code E404\nx"_s}, i.record(u"retry"_s),
                              i.copier());
    }) << QStringList{u"Something went wrong"_s, u"x"_s, u"Copy details"_s, u"Try again"_s}
                            << QStringList{u"Copy details"_s, u"Try again"_s}
                            << QStringList{u"copy npm error code E404\nx"_s, u"retry"_s}
                            << u"retry"_s;
    QTest::newRow("success, sorted")
        << launched({false, {u"codex"_s}}, {false, {u"codex"_s, u"claude-code"_s}})
        << QStringList{u"Corvane is set up"_s, heading, u"corv claude"_s, u"corv codex"_s,
                       u"Done"_s}
        << QStringList{copyClaude, copyCodex, u"Done"_s}
        << QStringList{u"copy corv claude"_s, u"copy corv codex"_s, u"done"_s} << u"done"_s;
    QTest::newRow("success, unknown id only")
        << launched({true, {}}, {true, {u"gemini"_s}})
        << QStringList{u"Corvane is up to date"_s, u"Done"_s} << QStringList{u"Done"_s}
        << QStringList{u"done"_s} << u"done"_s;
    QTest::newRow("success, duplicates kept, unknown skipped")
        << launched({true, {}}, {true, {u"codex"_s, u"Codex"_s, u"codex"_s}})
        << QStringList{u"Corvane is up to date"_s, heading, u"corv codex"_s, u"corv codex"_s,
                       u"Done"_s}
        << QStringList{copyCodex, copyCodex, u"Done"_s}
        << QStringList{u"copy corv codex"_s, u"copy corv codex"_s, u"done"_s} << u"done"_s;
}

// Reads the screen; Return and Enter do the screen's default action, Return with a modifier is
// someone else's. Then walks it with Tab from its first control: each control is named to a screen
// reader, acts on a click and on Space, and leaves Return and Enter to the default action.
void TestScreens::screens()
{
    QFETCH(ViewMaker, make);
    QFETCH(QStringList, controls);
    QFETCH(QStringList, does);
    QFETCH(QString, onReturn);
    Intents intents;
    std::unique_ptr<QWidget> view(make(intents));
    present(view.get());
    QTEST(visibleTexts(view.get()), "texts");
    // Labels are read out exactly as drawn; drawn marks are not read at all.
    for (QWidget* w : view->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<TextLabel*>(w); label && label->isVisibleTo(view.get())) {
            QCOMPARE(a11y(label)->role(), QAccessible::StaticText);
            QCOMPARE(a11y(label)->text(QAccessible::Name), label->text());
        } else if (qobject_cast<AppMark*>(w) || qobject_cast<SymbolView*>(w)) {
            QCOMPARE(a11y(w)->role(), QAccessible::Graphic);
            QVERIFY(a11y(w)->state().invisible);
        }
    }
    const QStringList returned =
        onReturn.isEmpty() ? QStringList() : QStringList{onReturn, onReturn};
    QTest::keyClick(view.get(), Qt::Key_Return); // with no control focused
    QTest::keyClick(view.get(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(view.get(), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(intents.seen, returned);

    QAbstractButton* first = nullptr;
    for (QAbstractButton* b : view->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(view.get()) && a11y(b)->text(QAccessible::Name) == controls.first())
            first = first ? first : b;
    QVERIFY(first);
    first->setFocus();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        QVERIFY(focused);
        QAccessibleInterface* reader = a11y(focused);
        QCOMPARE(reader->text(QAccessible::Name), controls[i]);
        QCOMPARE(reader->role(), QAccessible::Button);
        QCOMPARE(reader->state().defaultButton, does[i] == onReturn);
        intents.seen.clear();
        QTest::mouseClick(focused, Qt::LeftButton);
        QTest::keyClick(focused, Qt::Key_Space);
        QTest::keyClick(focused, Qt::Key_Return);
        QTest::keyClick(focused, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(intents.seen, QStringList({does[i], does[i]}) + returned);
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    // And round again to the first.
    QCOMPARE(QApplication::focusWidget(), first);
}

// The screens name the machine as the platform calls it.
void TestScreens::machineIsNamed()
{
    const QList<Harness> abc{{u"a"_s, u"A"_s, {}}, {u"b"_s, u"B"_s, {}}, {u"c"_s, u"C"_s, {}}};
    QCOMPARE(WelcomeView::statusText({{claude}, false}, u"Mac"),
             u"Found Claude Code on this Mac."_s);
    QCOMPARE(WelcomeView::statusText({{claude, codex}, false}, u"Mac"),
             u"Found Claude Code and Codex on this Mac."_s);
    QCOMPARE(WelcomeView::statusText({abc, false}, u"Mac"), u"Found A, B and C on this Mac."_s);
    QCOMPARE(WelcomeView::statusText({abc, true}, u"Mac"),
             u"Corvane is already set up on this Mac."_s);
    QCOMPARE(NoNodeView::explanation(u"Mac"),
             u"Corvane runs on Node.js, which isn\u2019t installed "
             "on this Mac yet. Install it, then come back here."_s);
#ifndef Q_OS_MACOS
    QVERIFY(!NoNodeView::explanation().contains(u"Mac"_s)); // off macOS the screens never say "Mac"
#endif
}

// A screen redrawn with new data keeps the keyboard and the default action on what is shown.
void TestScreens::redrawInPlace()
{
    Intents intents;
    WelcomeView view({{}, false}, intents.record(u"refresh"_s), intents.record(u"manage"_s),
                     intents.opener());
    present(&view);
    QAbstractButton* start = button(&view, u"Start setup"_s);
    QVERIFY(start);
    start->setFocus();
    view.setData({{codex}, true});
    // The focus follows the primary button rather than falling to the next control.
    QCOMPARE(QApplication::focusWidget(), button(&view, u"Update Version"_s));
    // The default action follows the visible primary button.
    QTest::keyClick(&view, Qt::Key_Return);
    view.setData({{codex}, false});
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(intents.seen, (QStringList{u"refresh"_s, u"manage"_s}));

    // The Node-missing screen's recheck line fills; nothing above it moves.
    NoNodeView noNode(
        {false}, [] {}, [](const QUrl&) {});
    present(&noNode);
    QStringList texts = visibleTexts(&noNode);
    auto* getNode = button(&noNode, u"Get Node.js"_s);
    QVERIFY(getNode);
    const int buttonsAt = getNode->mapTo(&noNode, QPoint()).y();
    noNode.setData({true});
    texts.last() = u"Still not finding Node.js."_s;
    QCOMPARE(visibleTexts(&noNode), texts);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    noNode.layout()->activate();
    QCOMPARE(getNode->mapTo(&noNode, QPoint()).y(), buttonsAt);
}

// A row copies its command and says so for a while; a row a redraw keeps keeps that, a new row
// starts without it.
void TestScreens::copiedRows()
{
    QStringList copied;
    LaunchedView view(
        {false, {u"claude-code"_s, u"codex"_s}}, [] {},
        [&](const QString& text) { copied.append(text); });
    present(&view);
    QCOMPARE(view.rows().size(), 2);
    TerminalCommandRow* row = view.rows().at(0);
    constexpr std::chrono::milliseconds duration(800);
    row->setCopiedDuration(duration);
    QVERIFY(!row->isCopied() && a11y(row)->text(QAccessible::Description).isEmpty());
    QTest::mouseClick(row, Qt::LeftButton);
    QCOMPARE(copied, QStringList{u"corv claude"_s});
    QVERIFY(row->isCopied());
    QCOMPARE(a11y(row)->text(QAccessible::Description), u"Copied"_s);
    view.setData({false, {u"claude-code"_s}});
    QCOMPARE(view.rows(), QList<TerminalCommandRow*>{row});
    QVERIFY(row->isCopied());
    view.setData({false, {u"codex"_s, u"claude-code"_s}});
    QCOMPARE(view.rows().size(), 2);
    QCOMPARE(view.rows().at(0), row);
    QVERIFY(!view.rows().at(1)->isCopied());
    // Clicked again halfway; a timer started then runs out after the first click's reset is due
    // and before a reset counted from the second click. Timers fire in the order they run out.
    QTimer after;
    after.setSingleShot(true);
    after.setTimerType(Qt::PreciseTimer);
    QSignalSpy ranOut(&after, &QTimer::timeout);
    QTimer::singleShot(duration / 2, Qt::PreciseTimer, row, [&] {
        row->click();
        after.start(duration * 3 / 4);
    });
    QVERIFY(ranOut.wait(10000));
    QVERIFY(!row->isCopied());
}

void TestScreens::longTextsWrapAndStayReachable_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("words") << u"npm error "_s.repeated(30);
    QTest::newRow("one long word") << u"/home/dev/node_modules"_s.repeated(12);
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

void TestScreens::appMarkFillsItsArea_data()
{
    QTest::addColumn<QSize>("area");
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
