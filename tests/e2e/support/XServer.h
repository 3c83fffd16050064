#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace corvane::e2e {

// A virtual X display (Xvfb) of its own, on a display number the server picks itself among the
// free ones, with no window manager, and the tools that act on it as a user would: xdotool for
// keys, typing and clicks, xwd for pictures of the screen.
//
// The server runs in a process group of its own and is stopped by stop() or the destructor,
// whatever state a test left it in.
class XServer {
public:
    static constexpr int width = 1024;
    static constexpr int height = 768;

    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // The programs this needs (Xvfb, xdotool, xwd) that are not on PATH.
    static QStringList missingPrograms();

    // Starts the server and returns once it accepts clients; false with *error set when it cannot.
    bool start(QString* error);
    // Stops the server (SIGTERM, then SIGKILL after a few seconds) and waits until it is gone.
    void stop();

    // ":<number>" while running.
    QString display() const { return m_display; }

    // Runs xdotool with arguments against this display and waits (a few seconds at most) for it
    // to end. False with its output in *error when it fails or does not end in time.
    bool xdotool(const QStringList& arguments, QString* error = nullptr) const;

    // A picture of the whole screen, or a null image with *error set.
    QImage screenshot(QString* error) const;

    // Decodes what xwd writes for a true-colour display (24 or 32 bits a pixel, either byte
    // order); a null image with *error set for anything else.
    static QImage decodeXwd(const QByteArray& data, QString* error);

private:
    QProcess m_server;
    QString m_display;
};

} // namespace corvane::e2e
