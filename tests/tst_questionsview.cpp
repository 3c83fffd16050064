#include "views/CheckRow.h"
#include "views/DefaultAction.h"
#include "views/LevelLabel.h"
#include "views/QuestionsView.h"
#include "views/RadioRow.h"
#include "views/StepDots.h"
#include "views/StepHeading.h"

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

// The darkest and the lightest grey level in the picture of a part of a window.
std::pair<int, int> greyRange(QWidget& window, const QRect& part)
{
    const QImage image = window.grab(part).toImage().convertToFormat(QImage::Format_RGB32);
    int darkest = 255, lightest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            darkest = std::min(darkest, grey);
            lightest = std::max(lightest, grey);
        }
    }
    return {darkest, lightest};
}

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

    void open(const QList<Harness>& detected = {}, const Found& existing = {})
    {
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
    QString title() const
    {
        for (StepHeading* heading : m_view->findChildren<StepHeading*>())
            if (heading->isVisible())
                return heading->title()->text();
        return {};
    }
    QAbstractButton* button(const QString& text) const
    {
        for (QAbstractButton* b : m_view->findChildren<QAbstractButton*>())
            if (b->isVisible() && b->text() == text)
                return b;
        return nullptr;
    }
    QPushButton* primary() const { return defaultAction(m_view); }
    QLineEdit* keyField() const
    {
        for (QLineEdit* field : m_view->findChildren<QLineEdit*>())
            if (field->isVisible())
                return field;
        return nullptr;
    }
    StepDots* dots() const { return m_view->findChild<StepDots*>(); }
    QString dotsName() const { return a11y(dots())->text(QAccessible::Name); }
    // A row is clicked on its bare background, well away from its title and its symbol.
    void click(QAbstractButton* b)
    {
        QVERIFY(b);
        const bool row = qobject_cast<CheckRow*>(b) || qobject_cast<RadioRow*>(b);
        QTest::mouseClick(b, Qt::LeftButton, {},
                          row ? QPoint(b->width() * 2 / 3, b->height() / 2) : QPoint());
    }
    void click(const QString& text) { click(button(text)); }
    void key(Qt::Key k) { QTest::keyClick(m_window->windowHandle(), k); }
    void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    QWidget* focused() const { return QApplication::focusWidget(); }

private slots:
    void init()
    {
        m_installed.clear();
        m_leaveOnInstall = false;
    }
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
        QTest::newRow("manifest without installations")
            << all << Found{} << Texts{tools, claude, codex} << install << true;
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
            QCOMPARE(dots()->height() > 0, n > 1);
            QCOMPARE(bool(button(u"Back"_s)), i > 0);
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
    // the key goes to the installer exactly as typed.
    void keyRequired()
    {
        QFETCH(QString, untick);
        QFETCH(QString, choice);
        QFETCH(QString, blank);
        open();
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
        QCOMPARE(keyField()->text(), u"sk-or-1"_s);
        QCOMPARE(focused(), keyField());
        type(u"2"_s);
        key(Qt::Key_Return);
        QCOMPARE(keyField()->text(), u"sk-or-12"_s);
        click(primary());
        QCOMPARE(m_installed, (Installs{{{cc, cx}, {orr}, {orr}, none, none, u"sk-or-12"_s}}));
    }

    // Unticking updates the dots at once and leaves the tools step shown; choices made before
    // come back with their tool.
    void selectionChanges()
    {
        open();
        click(u"Codex"_s);
        QCOMPARE(title(), tools);
        QCOMPARE(dotsName(), u"Step 1 of 2"_s);
        click(primary());
        click(u"Anthropic API key"_s);
        QCOMPARE(primary()->text(), u"Install"_s);
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
        QVERIFY(!button(u"Back"_s));
        QCOMPARE(primary()->text(), u"Install"_s);
        QVERIFY(!primary()->isEnabled());
        key(Qt::Key_Return);
        QVERIFY(m_installed.isEmpty());
    }

    // The selected row stays selected when clicked again; a funding id no option has selects no
    // row and shows no key field, and needs no key.
    void fundingRows()
    {
        open({}, Found{{cx, none, u"codex-cloud"_s}});
        click(primary());
        QCOMPARE(title(), codex);
        for (const QString& name : {u"ChatGPT subscription"_s, u"OpenAI API key"_s, orr})
            QVERIFY(!button(name == orr ? u"OpenRouter API key"_s : name)->isChecked());
        QVERIFY(!keyField());
        QVERIFY(primary()->isEnabled());
        click(u"ChatGPT subscription"_s);
        click(u"ChatGPT subscription"_s);
        QVERIFY(button(u"ChatGPT subscription"_s)->isChecked());
        QVERIFY(!button(u"OpenAI API key"_s)->isChecked());
        click(primary());
        QCOMPARE(m_installed, (Installs{{{cx}, {}, {sub}, none, none, none}}));
    }

    // Tab reaches every control in reading order, Space toggles and selects, and a key field that
    // comes up takes the focus.
    void keyboard()
    {
        open();
        QCOMPARE(focused(), button(u"Claude Code"_s));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), button(u"Codex"_s));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), primary());
        key(Qt::Key_Tab);
        QCOMPARE(focused(), button(u"Claude Code"_s));
        key(Qt::Key_Space);
        QVERIFY(!button(u"Claude Code"_s)->isChecked());
        QCOMPARE(dotsName(), u"Step 1 of 2"_s);
        key(Qt::Key_Space);
        QVERIFY(button(u"Claude Code"_s)->isChecked());

        key(Qt::Key_Return);
        QCOMPARE(title(), claude);
        QCOMPARE(focused(), button(u"Claude subscription"_s));
        const Texts order{u"Anthropic API key"_s, u"OpenRouter API key"_s, u"Back"_s, u"Next"_s};
        for (const QString& next : order) {
            key(Qt::Key_Tab);
            QCOMPARE(focused(), button(next));
        }
        key(Qt::Key_Backtab);
        key(Qt::Key_Backtab);
        key(Qt::Key_Backtab);
        key(Qt::Key_Space);
        QVERIFY(button(u"Anthropic API key"_s)->isChecked());
        QVERIFY(!button(u"Claude subscription"_s)->isChecked());
        QCOMPARE(focused(), keyField());
        key(Qt::Key_Tab);
        QCOMPARE(focused(), button(u"Back"_s));
        key(Qt::Key_Space);
        QCOMPARE(title(), tools);
        key(Qt::Key_Return);
        QCOMPARE(focused(), keyField()); // the chosen key field comes up with the step
    }

    void accessibility()
    {
        open();
        QAccessibleInterface* tick = a11y(button(u"Claude Code"_s));
        QCOMPARE(tick->role(), QAccessible::CheckBox);
        QCOMPARE(tick->text(QAccessible::Name), u"Claude Code"_s);
        QVERIFY(tick->state().checked);
        click(u"Claude Code"_s);
        QVERIFY(!tick->state().checked);
        QCOMPARE(a11y(primary())->text(QAccessible::Name), u"Next"_s);
        QCOMPARE(a11y(dots())->role(), QAccessible::StaticText);
        QCOMPARE(dotsName(), u"Step 1 of 2"_s);
        click(u"Claude Code"_s);

        click(primary());
        QAccessibleInterface* radio = a11y(button(u"Anthropic API key"_s));
        QCOMPARE(radio->role(), QAccessible::RadioButton);
        QVERIFY(!radio->state().checked);
        QVERIFY(a11y(button(u"Claude subscription"_s))->state().checked);
        radio->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(radio->state().checked);
        QVERIFY(!a11y(button(u"Claude subscription"_s))->state().checked);

        type(u"sk-secret"_s);
        QAccessibleInterface* field = a11y(keyField());
        QCOMPARE(field->role(), QAccessible::EditableText);
        QVERIFY(field->state().passwordEdit);
        QCOMPARE(field->text(QAccessible::Name), u"Anthropic API key"_s);
        QVERIFY(!field->text(QAccessible::Value).contains(u"secret"_s));
        QAccessibleTextInterface* text = field->textInterface();
        QVERIFY(!text || !text->text(0, text->characterCount()).contains(u"secret"_s));
        QCOMPARE(a11y(button(u"Back"_s))->role(), QAccessible::PushButton);
        QCOMPARE(a11y(button(u"Back"_s))->text(QAccessible::Name), u"Back"_s);

        click(u"Next"_s);
        click(u"OpenAI API key"_s);
        QCOMPARE(a11y(primary())->text(QAccessible::Name), u"Install"_s);
        QVERIFY(a11y(primary())->state().disabled);
    }

    void leftInsideOnInstall_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Return") << true;
        QTest::newRow("click") << false;
    }
    // The flow destroys the screen from inside onInstall; nothing of it is touched afterwards.
    void leftInsideOnInstall()
    {
        QFETCH(bool, byKey);
        m_leaveOnInstall = true;
        open({}, Found{{cx, none, sub}});
        click(primary());
        if (byKey)
            key(Qt::Key_Return);
        else
            QTest::mouseClick(primary(), Qt::LeftButton);
        QVERIFY(m_view.isNull());
        QCOMPARE(m_installed.size(), 1);
    }

    void stepDots()
    {
        QWidget window;
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        window.setPalette(palette);
        auto* dots = new StepDots(1, 0, &window);
        QVERIFY(dots->sizeHint().isEmpty());
        QVERIFY(a11y(dots)->state().invisible);
        const auto picture = [&](int count, int current) {
            dots->setSteps(count, current);
            dots->resize(dots->sizeHint());
            return window.grab(dots->geometry()).toImage();
        };
        QVERIFY(picture(3, 0) != picture(3, 1));
        QCOMPARE(picture(3, -1), picture(3, 3));
        QVERIFY(a11y(dots)->text(QAccessible::Name).isEmpty());
        const int faint = greyRange(window, dots->geometry()).first;
        picture(3, 2);
        QCOMPARE(a11y(dots)->text(QAccessible::Name), u"Step 3 of 3"_s);
        QVERIFY2(greyRange(window, dots->geometry()).first < faint - 100,
                 "the current dot is not the strong one");
    }

    // Keyboard focus shows a ring; focus taken by a click does not.
    void rowFocusRing()
    {
        QWidget window;
        bool first = true, second = false;
        auto* layout = new QVBoxLayout(&window);
        auto* a = new CheckRow(u"A"_s, {[&] { return first; }, [&](bool v) { first = v; }});
        auto* b = new CheckRow(u"B"_s, {[&] { return second; }, [&](bool v) { second = v; }});
        layout->addWidget(a);
        layout->addWidget(b);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        a->setFocus(Qt::MouseFocusReason);
        const QImage plain = b->grab().toImage();
        b->setFocus(Qt::MouseFocusReason);
        QCOMPARE(b->grab().toImage(), plain);
        a->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(&window, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), b);
        QVERIFY(b->grab().toImage() != plain);
        QTest::keyClick(b, Qt::Key_Space);
        QVERIFY(second && b->isChecked());
    }

    // A change of theme recolours the step texts.
    void labelsFollowTheme()
    {
        QWidget panel;
        auto* label =
            new LevelLabel(u"Codex funding"_s, look::font(20), look::Level::Secondary, &panel);
        label->resize(label->sizeHint());
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        panel.setPalette(palette);
        const int darkText = greyRange(panel, label->geometry()).first;
        palette.setColor(QPalette::Window, Qt::black);
        palette.setColor(QPalette::WindowText, Qt::white);
        panel.setPalette(palette);
        QVERIFY(darkText < 160);
        QVERIFY(greyRange(panel, label->geometry()).second > 100);
    }
};

QTEST_MAIN(TestQuestionsView)
#include "tst_questionsview.moc"
