// The launch benchmark's baseline: a bare Qt Widgets window of the wizard's size that prints
// "ready" on standard output once its first picture is painted, then waits to be ended.
// With --text it also shows one line of text, which costs the font set-up that any window with
// text pays; the benchmark prints that figure to explain its own.
//   bare-window [--text]
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class BareWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (m_painted)
            return;
        m_painted = true;
        // Queued, so the line follows the whole picture, as the app's own mark does.
        QTimer::singleShot(0, this, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(520, 460);
    if (QApplication::arguments().contains(QStringLiteral("--text")))
        (new QLabel(QStringLiteral("Welcome to Corvane"), &window))->move(40, 40);
    window.show();
    return QApplication::exec();
}
