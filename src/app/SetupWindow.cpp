#include "SetupWindow.h"

#include "FadeOverlay.h"

#include "views/DefaultAction.h"
#include "views/FailedView.h"
#include "views/InstallingView.h"
#include "views/LaunchedView.h"
#include "views/NoNodeView.h"
#include "views/QuestionsView.h"
#include "views/WelcomeView.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QVariantAnimation>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// The first control of view in the keyboard's order.
QWidget* firstFocusable(QWidget* view)
{
    for (QWidget* w = view->nextInFocusChain(); w && w != view; w = w->nextInFocusChain()) {
        if (view->isAncestorOf(w) && w->isVisibleTo(view) && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus))
            return w;
    }
    return nullptr;
}

} // namespace

WindowServices WindowServices::system()
{
    return {
        [](const QUrl& url) { QDesktopServices::openUrl(url); },
        [](const QString& text) { QGuiApplication::clipboard()->setText(text); },
        [] { QCoreApplication::quit(); },
    };
}

SetupWindow::SetupWindow(std::unique_ptr<RootView> flow, WindowServices services,
                         std::unique_ptr<WindowPlatform> platform, QWidget* parent)
    : QWidget(parent)
    , m_flow(std::move(flow))
    , m_services(std::move(services))
    , m_platform(std::move(platform))
    , m_fade(new QVariantAnimation(this))
{
    setWindowTitle(u"Corvane Setup"_s);
    setFixedSize(contentWidth, contentHeight);
    m_platform->prepareBackground(*this);

    QEasingCurve easeOut(QEasingCurve::BezierSpline);
    easeOut.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_fade->setEasingCurve(easeOut);
    m_fade->setDuration(static_cast<int>(fadeDuration.count()));
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (m_overlay)
            m_overlay->setOpacity(value.toReal());
    });
    connect(m_fade, &QVariantAnimation::finished, this, &SetupWindow::finishFade);

    connect(m_flow.get(), &RootView::changed, this, &SetupWindow::onFlowChanged);
    replaceView(false);
}

SetupWindow::~SetupWindow() { releaseFlow(); }

bool SetupWindow::isCrossFading() const { return m_overlay != nullptr; }

void SetupWindow::bringToFront() { m_platform->bringToFront(*this); }

void SetupWindow::releaseFlow()
{
    if (!m_flow)
        return;
    hide();
    QGuiApplication::sync();
    finishFade();
    // The views call into the flow; they go first.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete child;
    m_flow.reset();
}

void SetupWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    m_platform->bringToFront(*this);
    // The file checks are immediate and the Node.js check does not block, so the first picture
    // already shows what was found, with the controls waiting for Node.js's answer.
    if (m_flow)
        m_flow->preflight();
}

void SetupWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    m_painted = true;
}

void SetupWindow::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && m_view &&
        triggerDefaultAction(m_view)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SetupWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
    if (m_overlay)
        m_overlay->setGeometry(rect());
}

void SetupWindow::onFlowChanged(bool screenChanged)
{
    // Only a screen someone has seen fades out.
    if (screenChanged)
        replaceView(isVisible() && m_painted);
    else
        redrawView();
}

void SetupWindow::replaceView(bool fade)
{
    // The picture of everything shown now, an unfinished fade included.
    const QPixmap before = fade && m_view ? grab() : QPixmap();
    finishFade();
    if (m_view) {
        // Deleted later: the change may come from a click on one of its own buttons.
        m_view->hide();
        m_view->deleteLater();
    }
    m_view = makeView();
    m_view->setGeometry(rect());
    m_view->show();
    focusFirstControl();
    if (!before.isNull()) {
        m_overlay = new FadeOverlay(before, this);
        m_overlay->setGeometry(rect());
        m_overlay->show();
        m_overlay->raise();
        m_fade->start();
    }
}

void SetupWindow::finishFade()
{
    m_fade->stop();
    if (m_overlay) {
        m_overlay->hide();
        m_overlay->deleteLater();
        m_overlay = nullptr;
    }
}

QWidget* SetupWindow::makeView()
{
    RootView* flow = m_flow.get();
    switch (flow->screen()) {
    case Screen::Welcome:
        return new WelcomeView(
            flow->welcomeData(), [flow] { flow->onRefresh(); }, [flow] { flow->onManage(); },
            m_services.openUrl, this);
    case Screen::NoNode:
        return new NoNodeView(
            flow->noNodeData(), [flow] { flow->onRecheck(); }, m_services.openUrl, this);
    case Screen::Questions:
        return new QuestionsView(
            flow->questionsData(),
            [flow](const InstallAnswers& answers) { flow->onInstall(answers); }, this);
    case Screen::Installing:
        return new InstallingView(flow->installingData(), this);
    case Screen::Launched:
        return new LaunchedView(flow->launchedData(), m_services.quit, m_services.copyText, this);
    case Screen::Failed:
        return new FailedView(
            flow->failedData(), [flow] { flow->onRetry(); }, m_services.copyText, this);
    }
    Q_UNREACHABLE();
}

void SetupWindow::focusFirstControl()
{
    // A control disabled while it had the focus gives it up; the screen's first one that can
    // take it again gets it, so the keyboard is never left with nothing.
    if (QWidget* focus = m_view->focusWidget(); focus && focus->isEnabled() && focus->isVisible())
        return;
    QWidget* first = defaultAction(m_view);
    if (!first || !first->isEnabled())
        first = firstFocusable(m_view);
    if (first)
        first->setFocus(Qt::OtherFocusReason);
}

void SetupWindow::redrawView()
{
    RootView* flow = m_flow.get();
    if (auto* welcome = qobject_cast<WelcomeView*>(m_view))
        welcome->setData(flow->welcomeData());
    else if (auto* noNode = qobject_cast<NoNodeView*>(m_view))
        noNode->setData(flow->noNodeData());
    else if (auto* installing = qobject_cast<InstallingView*>(m_view))
        installing->setData(flow->installingData());
    else if (auto* launched = qobject_cast<LaunchedView*>(m_view))
        launched->setData(flow->launchedData());
    else if (auto* failed = qobject_cast<FailedView*>(m_view))
        failed->setData(flow->failedData());
    focusFirstControl();
}

} // namespace corvane
