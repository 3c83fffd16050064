#include "support/Buttons.h"
#include "views/CheckRow.h"
#include "views/DefaultAction.h"
#include "views/QuestionsView.h"
#include "views/RadioRow.h"
#include "views/StepDots.h"
#include "views/StepHeading.h"
#include "views/TextLabel.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace corvane;
using namespace Qt::StringLiterals;
using Found = QList<ExistingHarness>;
using Texts = QStringList;
using Installs = QList<InstallAnswers>;
const QString cc = u"claude-code"_s, cx = u"codex"_s, sub = u"subscription"_s, e;
const QString orr = u"openrouter"_s, tools = u"Choose your tools"_s;
const QString claude = u"Claude Code funding"_s, codex = u"Codex funding"_s;
const auto none = std::nullopt;

QAccessibleInterface* a11y(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

class TestQuestionsView : public QObject {
    Q_OBJECT
    std::unique_ptr<QWidget> m_window; // stands in for the app window, which the screen fills
    QPointer<QuestionsView> m_view;
    QList<InstallAnswers> m_installed;
    bool m_leaveOnInstall = false; // the flow leaves the screen, destroying it, inside onInstall
    const std::unique_ptr<QPushButton> m_missing = std::make_unique<QPushButton>();

    void open(const QList<Harness>& detected = {}, const Found& existing = {})
    {
        m_installed.clear();
        m_leaveOnInstall = false;
        m_window = std::make_unique<QWidget>();
        m_window->resize(520, 460);
        auto* layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        const auto onInstall = [this](const InstallAnswers& answers) {
            m_installed.append(answers);
            if (m_leaveOnInstall)
                delete m_view;
        };
        m_view = new QuestionsView({detected, existing}, onInstall, m_window.get());
        layout->addWidget(m_view);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    // What the user sees and reaches.
    template <class W>
    W* shown(const std::function<bool(W*)>& match = [](W*) { return true; }) const
    {
        const QList<W*> all = m_view->findChildren<W*>();
        const auto it =
            std::find_if(all.begin(), all.end(), [&](W* w) { return w->isVisible() && match(w); });
        return it == all.end() ? nullptr : *it;
    }
    // A control the test needs: when it is missing the check fails, and a hidden stand-in comes
    // back, so that the test goes on to fail rather than crash on a null pointer.
    template <class W> W* need(W* w, const QString& what) const
    {
        if (!w)
            QTest::qFail(qPrintable(what + u" is not shown"_s), __FILE__, __LINE__);
        return w ? w : m_missing.get();
    }
    QString title() const
    {
        const auto* heading = shown<StepHeading>();
        return heading ? heading->title()->text() : u"(no title)"_s;
    }
    QAbstractButton* button(const QString& text) const
    {
        return need(test::button(m_view, text), text);
    }
    QPushButton* primary() const { return need(defaultAction(m_view), u"The default button"_s); }
    QLineEdit* keyField() const { return shown<QLineEdit>(); }
    QString keyText() const { return keyField() ? keyField()->text() : u"(no key field)"_s; }
    StepDots* dots() const { return m_view->findChild<StepDots*>(); }
    QString dotsName() const
    {
        return dots() ? a11y(dots())->text(QAccessible::Name) : u"(no dots)"_s;
    }
    // A row is clicked on its bare background, well away from its title and its symbol.
    void click(QAbstractButton* b)
    {
        const bool row = qobject_cast<CheckRow*>(b) || qobject_cast<RadioRow*>(b);
        QTest::mouseClick(b, Qt::LeftButton, {},
                          row ? QPoint(b->width() * 2 / 3, b->height() / 2) : QPoint());
    }
    void click(const QString& text) { click(button(text)); }
    void key(Qt::Key k) { QTest::keyClick(m_window->windowHandle(), k); }
    void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    QWidget* focused() const { return QApplication::focusWidget(); }

private slots:
    void cleanup() { m_window.reset(); }

    void walk_data()
    {
        QTest::addColumn<QList<Harness>>("detected");
        QTest::addColumn<Found>("existing");
        QTest::addColumn<Texts>("titles");
        QTest::addColumn<QString>("last");
        QTest::addColumn<bool>("submits"); // without typing anything
        const QList<Harness> all = harnesses(), nothing;
        const QString install = u"Install"_s, save = u"Save changes"_s;
        QTest::newRow("new, none found")
            << nothing << Found{} << Texts{tools, claude, codex} << install << true;
        QTest::newRow("new, codex found")
            << all.mid(1) << Found{} << Texts{tools, codex} << install << true;
        QTest::newRow("returning, claude on openrouter")
            << all << Found{{cc, orr, none}} << Texts{tools, claude} << save << false;
        QTest::newRow("returning, unknown tool")
            << nothing << Found{{u"gemini"_s, none, none}} << Texts{tools} << save << true;
    }
    // Forward with Return (the window's own path first), back with the mouse.
    void walk()
    {
        QFETCH(QList<Harness>, detected);
        QFETCH(Found, existing);
        QFETCH(Texts, titles);
        QFETCH(QString, last);
        QFETCH(bool, submits);
        open(detected, existing);
        const int n = int(titles.size());
        for (int i = 0; i < n; ++i) {
            QCOMPARE(title(), titles[i]);
            QCOMPARE(dotsName(), n < 2 ? e : u"Step %1 of %2"_s.arg(i + 1).arg(n));
            QCOMPARE(dots() && dots()->height() > 0, n > 1);
            QCOMPARE(test::button(m_view, u"Back"_s) != nullptr, i > 0);
            QCOMPARE(primary()->text(), i + 1 < n ? u"Next"_s : last);
            QCOMPARE(primary()->isEnabled(), i + 1 < n || submits);
            if (i == 0)
                QCOMPARE(triggerDefaultAction(m_view), i + 1 < n || submits);
            else
                key(Qt::Key_Return);
        }
        QCOMPARE(m_installed.size(), submits ? 1 : 0);
        for (int i = n - 1; i > 0; --i) {
            click(u"Back"_s);
            QCOMPARE(title(), titles[i - 1]);
        }
        QCOMPARE(m_installed.size(), submits ? 1 : 0);
    }

    void keyRequired_data()
    {
        QTest::addColumn<QString>("untick");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("blank");
        QTest::addColumn<InstallAnswers>("expected");
        QTest::newRow("anthropic")
            << u"Codex"_s << u"Anthropic API key"_s << u"  "_s
            << InstallAnswers{{cc}, {u"anthropic-api"_s}, {}, u"  sk-ant "_s, none, none};
        QTest::newRow("openai") << u"Claude Code"_s << u"OpenAI API key"_s << u"\u00A0"_s
                                << InstallAnswers{
                                       {cx}, {}, {u"openai-api"_s}, none, u"\u00A0sk-ant "_s, none};
        QTest::newRow("openrouter") << u"Claude Code"_s << u"OpenRouter API key"_s << u" "_s
                                    << InstallAnswers{{cx}, {}, {orr}, none, none, u" sk-ant "_s};
    }
    // The last button stays disabled, to clicks and to Return, until a non-blank key is typed;
    // the key goes to the installer exactly as typed. The flow leaves the screen inside onInstall,
    // here on Return from the key field: nothing of the screen is touched afterwards.
    void keyRequired()
    {
        QFETCH(QString, untick);
        QFETCH(QString, choice);
        QFETCH(QString, blank);
        open();
        m_leaveOnInstall = true;
        click(untick);
        click(primary());
        click(choice);
        QCOMPARE(focused(), keyField());
        QCOMPARE(primary()->text(), u"Install"_s);
        QVERIFY(!primary()->isEnabled());
        type(blank);
        QVERIFY(!primary()->isEnabled());
        key(Qt::Key_Return);
        click(primary());
        QVERIFY(m_installed.isEmpty());
        type(u"sk-ant "_s);
        QVERIFY(primary()->isEnabled());
        key(Qt::Key_Return); // from inside the key field
        QVERIFY(m_view.isNull());
        QCOMPARE(m_installed.size(), 1);
        QTEST(m_installed[0], "expected");
    }

    // Next is never held back by an earlier step; one OpenRouter key serves both steps.
    void openrouterKeyShared()
    {
        open();
        click(primary());
        click(u"OpenRouter API key"_s);
        QVERIFY(primary()->isEnabled());
        click(primary());
        QCOMPARE(title(), codex);
        QVERIFY(!keyField());
        QVERIFY(!primary()->isEnabled()); // Claude Code still lacks its key
        click(u"OpenRouter API key"_s);
        type(u"sk-or-1"_s);
        QVERIFY(primary()->isEnabled());
        click(u"Back"_s);
        QCOMPARE(keyText(), u"sk-or-1"_s);
        QCOMPARE(focused(), keyField());
        type(u"2"_s);
        key(Qt::Key_Return);
        QCOMPARE(keyText(), u"sk-or-12"_s);
        click(primary());
        QCOMPARE(m_installed, (Installs{{{cc, cx}, {orr}, {orr}, none, none, u"sk-or-12"_s}}));
    }

    // Unticking updates the dots at once and leaves the tools step shown; choices made before
    // come back with their tool.
    void selectionChanges()
    {
        open();
        click(u"Codex"_s);
        QCOMPARE(dotsName(), u"Step 1 of 2"_s);
        click(primary());
        click(u"Anthropic API key"_s);
        click(u"Back"_s);
        click(u"Codex"_s);
        QCOMPARE(dotsName(), u"Step 1 of 3"_s);
        click(primary());
        QVERIFY(button(u"Anthropic API key"_s)->isChecked());
        QVERIFY(keyField());
        click(u"Back"_s);
        click(u"Claude Code"_s);
        click(u"Codex"_s);
        QCOMPARE(title(), tools);
        QTRY_COMPARE(dots()->height(), 0);
        QCOMPARE(primary()->text(), u"Install"_s);
        QVERIFY(!primary()->isEnabled());
        key(Qt::Key_Return);
        QVERIFY(m_installed.isEmpty());
    }

    // The selected row stays selected when clicked again; a funding id no option has selects no
    // row and shows no key field, and needs no key. The flow leaves the screen inside onInstall,
    // here on a click of the last button.
    void fundingRows()
    {
        open({}, Found{{cx, none, u"codex-cloud"_s}});
        m_leaveOnInstall = true;
        click(primary());
        QCOMPARE(title(), codex);
        QVERIFY(!shown<RadioRow>([](RadioRow* row) { return row->isChecked(); }));
        QVERIFY(!keyField());
        QVERIFY(primary()->isEnabled());
        click(u"ChatGPT subscription"_s);
        click(u"ChatGPT subscription"_s);
        QAbstractButton* chosen = button(u"ChatGPT subscription"_s);
        QVERIFY(chosen->isChecked());
        const QImage clickFocused = chosen->grab().toImage(); // a click shows no focus ring
        chosen->clearFocus();
        QCOMPARE(chosen->grab().toImage(), clickFocused);
        QVERIFY(!button(u"OpenAI API key"_s)->isChecked());
        click(primary());
        QVERIFY(m_view.isNull());
        QCOMPARE(m_installed, (Installs{{{cx}, {}, {sub}, none, none, none}}));
    }

    // Tab reaches every control in reading order, round again to the first, and rings it; Space
    // toggles and selects, and a key field that comes up takes the focus. A screen reader is told
    // each row's kind, name and state, can press it, and never hears a key.
    void keyboardAndScreenReader()
    {
        open();
        QCOMPARE(focused(), button(u"Claude Code"_s));
        const QImage unfocused = button(u"Codex"_s)->grab().toImage();
        for (const QString& next : Texts{u"Codex"_s, u"Next"_s, u"Claude Code"_s, u"Codex"_s}) {
            key(Qt::Key_Tab);
            QCOMPARE(focused(), button(next));
        }
        QVERIFY(focused()->grab().toImage() != unfocused);
        QAccessibleInterface* tick = a11y(focused());
        QCOMPARE(tick->role(), QAccessible::CheckBox);
        QCOMPARE(tick->text(QAccessible::Name), u"Codex"_s);
        // The whole row is its area, where a screen reader's pointer lands.
        QCOMPARE(tick->rect().size(), focused()->size());
        QVERIFY(dots() && a11y(dots())->role() == QAccessible::StaticText);
        key(Qt::Key_Space);
        QVERIFY(!tick->state().checked);
        key(Qt::Key_Space);
        QVERIFY(tick->state().checked);

        key(Qt::Key_Return);
        QCOMPARE(title(), claude);
        QCOMPARE(focused(), button(u"Claude subscription"_s));
        const Texts order{u"Anthropic API key"_s,   u"OpenRouter API key"_s, u"Back"_s, u"Next"_s,
                          u"Claude subscription"_s, u"Anthropic API key"_s};
        for (const QString& next : order) {
            key(Qt::Key_Tab);
            QCOMPARE(focused(), button(next));
        }
        QAccessibleInterface* radio = a11y(focused());
        QCOMPARE(radio->role(), QAccessible::RadioButton);
        QCOMPARE(radio->text(QAccessible::Name), u"Anthropic API key"_s);
        QVERIFY(!radio->state().checked);
        key(Qt::Key_Space);
        QVERIFY(radio->state().checked);
        QVERIFY(!a11y(button(u"Claude subscription"_s))->state().checked);
        QCOMPARE(focused(), keyField());
        type(u"sk-secret"_s);
        QAccessibleInterface* field = a11y(keyField());
        QVERIFY(field);
        QCOMPARE(field->role(), QAccessible::EditableText);
        QVERIFY(field->state().passwordEdit);
        QCOMPARE(field->text(QAccessible::Name), u"Anthropic API key"_s);
        QVERIFY(!field->text(QAccessible::Value).contains(u"secret"_s));
        QAccessibleTextInterface* text = field->textInterface();
        QVERIFY(!text || !text->text(0, text->characterCount()).contains(u"secret"_s));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), button(u"Back"_s));
        a11y(button(u"Claude subscription"_s))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(a11y(button(u"Claude subscription"_s))->state().checked);
        QVERIFY(!radio->state().checked);
    }

    void stepDots()
    {
        QWidget window;
        auto* dots = new StepDots(1, 0, &window); // collapsed with one step: walk
        QVERIFY(a11y(dots)->state().invisible);
        const auto picture = [&](int count, int current) {
            dots->setSteps(count, current);
            dots->resize(dots->sizeHint());
            return window.grab(dots->geometry()).toImage();
        };
        QVERIFY(picture(3, 0) != picture(3, 1));
        QCOMPARE(picture(3, -1), picture(3, 3));
        QVERIFY(a11y(dots)->text(QAccessible::Name).isEmpty());
    }
};

QTEST_MAIN(TestQuestionsView)
#include "tst_questionsview.moc"
