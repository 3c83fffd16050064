// Renders every screen, as the window shows it, to PNG files at device pixel ratios 1 and 2: in
// the default palette into <folder>, then in a dark one into <folder>/dark.
//   corvane-screenshots <folder>
#include "SetupWindow.h"
#include "WindowPlatform.h"

#include "model/Catalog.h"
#include "views/FailedView.h"
#include "views/InstallingView.h"
#include "views/LaunchedView.h"
#include "views/NoNodeView.h"
#include "views/QuestionsView.h"
#include "views/TerminalCommandRow.h"
#include "views/WelcomeView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// Clicks the visible button of view whose text is text, as a user would.
void click(QWidget* view, const QString& text)
{
    for (QAbstractButton* button : view->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && button->text() == text) {
            button->click();
            QApplication::processEvents();
            return;
        }
    }
    std::fprintf(stderr, "corvane-screenshots: no button %s\n", qPrintable(text));
}

// Types text into the visible key field of view.
void typeKey(QWidget* view, const QString& text)
{
    for (QLineEdit* field : view->findChildren<QLineEdit*>()) {
        if (field->isVisible())
            field->setText(text);
    }
}

// prepare, when given, acts on the shown screen before its picture is taken.
bool saveScreen(QWidget* view, const QDir& folder, const QString& name,
                const std::function<void(QWidget*)>& prepare = {})
{
    QWidget frame;
    makeWindowPlatform()->prepareBackground(frame);
    frame.setFixedSize(SetupWindow::contentWidth, SetupWindow::contentHeight);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    view->setParent(&frame);
    layout->addWidget(view);
    frame.show();
    QApplication::processEvents();
    if (prepare) {
        prepare(view);
        QApplication::processEvents();
    }
    // Pictures of the screens as they first appear, without a focus ring on the first button.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();

    bool saved = true;
    for (const int ratio : {1, 2}) {
        QPixmap picture(frame.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        frame.render(&picture);
        const QString file =
            folder.filePath(name + (ratio == 1 ? u".png"_s : u"@%1x.png"_s.arg(ratio)));
        if (!picture.save(file)) {
            std::fprintf(stderr, "corvane-screenshots: cannot write %s\n", qPrintable(file));
            saved = false;
        }
    }
    return saved;
}

// A dark palette with the colours of GNOME's Adwaita-dark, as Qt's GTK platform theme passes
// them on.
QPalette darkPalette()
{
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x2d, 0x2d, 0x2d);
    const QColor text(0xee, 0xee, 0xec);
    QPalette palette(text, window, window.lighter(130), window.darker(160), window.darker(120),
                     text, Qt::white, base, window);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    palette.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9e));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::PlaceholderText, QColor(0x91, 0x91, 0x90));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x91, 0x91, 0x90));
    return palette;
}

bool saveScreens(const QDir& folder)
{
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "corvane-screenshots: cannot create %s\n", qPrintable(folder.path()));
        return false;
    }

    const Action nothing = [] {};
    const UrlOpener noLink = [](const QUrl&) {};
    const TextCopier noCopy = [](const QString&) {};

    bool ok = true;
    ok &= saveScreen(new WelcomeView({harnesses(), false}, nothing, nothing, noLink), folder,
                     u"welcome"_s);
    ok &= saveScreen(new WelcomeView({{}, false}, nothing, nothing, noLink), folder,
                     u"welcome-no-tools"_s);
    ok &= saveScreen(new WelcomeView({harnesses(), true}, nothing, nothing, noLink), folder,
                     u"welcome-returning"_s);
    ok &= saveScreen(new WelcomeView({harnesses(), false, true}, nothing, nothing, noLink), folder,
                     u"welcome-checking"_s);
    ok &= saveScreen(new NoNodeView({false}, nothing, noLink), folder, u"node-missing"_s);
    ok &= saveScreen(new NoNodeView({true}, nothing, noLink), folder, u"node-missing-rechecked"_s);
    ok &= saveScreen(new NoNodeView({true, true}, nothing, noLink), folder,
                     u"node-missing-checking"_s);
    const auto questions = [](const QList<ExistingHarness>& existing = {}) {
        return new QuestionsView({harnesses(), existing}, [](const InstallAnswers&) {});
    };
    ok &= saveScreen(questions(), folder, u"questions-tools"_s);
    ok &= saveScreen(questions(), folder, u"questions-claude-anthropic"_s, [](QWidget* view) {
        click(view, u"Next"_s);
        click(view, u"Anthropic API key"_s);
        typeKey(view, u"sk-ant-example"_s);
    });
    ok &= saveScreen(questions(), folder, u"questions-codex-openrouter"_s, [](QWidget* view) {
        click(view, u"Next"_s);
        click(view, u"Next"_s);
        click(view, u"OpenRouter API key"_s);
    });
    ok &= saveScreen(questions({{u"codex"_s, std::nullopt, u"openai-api"_s}}), folder,
                     u"questions-returning-codex"_s, [](QWidget* view) { click(view, u"Next"_s); });
    ok &= saveScreen(new InstallingView({u"Installing\u2026"_s}), folder, u"installing"_s);
    ok &= saveScreen(new LaunchedView({false, {u"claude-code"_s, u"codex"_s}}, nothing, noCopy),
                     folder, u"success"_s);
    auto* copied = new LaunchedView({true, {u"codex"_s, u"claude-code"_s}}, nothing, noCopy);
    copied->rows().first()->click();
    ok &= saveScreen(copied, folder, u"success-updated-copied"_s);
    ok &= saveScreen(new LaunchedView({false, {}}, nothing, noCopy), folder, u"success-no-tools"_s);
    const QString details = u"npm error code E404\nnpm error 404 Not Found - GET "
                            "https://registry.npmjs.org/corvane - Not found"_s;
    ok &= saveScreen(
        new FailedView({u"npm error 404 Not Found - GET https://registry.npmjs.org/corvane - "
                        "Not found. The package was requested from /home/developer/projects/"
                        "very/long/path/that/does/not/break/anywhere/on/its/own/node_modules "
                        "while resolving corvane@latest; check the registry settings in "
                        "~/.npmrc and try again."_s,
                        details},
                       nothing, noCopy),
        folder, u"failure"_s);
    ok &= saveScreen(new FailedView({u"npm error 404 Not Found - GET "
                                     "https://registry.npmjs.org/corvane - Not found"_s,
                                     details},
                                    nothing, noCopy),
                     folder, u"failure-short"_s);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvane-screenshots <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    bool ok = saveScreens(folder);
    QApplication::setPalette(darkPalette());
    ok &= saveScreens(QDir(folder.filePath(u"dark"_s)));
    return ok ? 0 : 1;
}
