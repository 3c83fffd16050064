#include "XServer.h"

#include "ProcessGroup.h"

#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <bit>

namespace corvane::e2e {

using namespace Qt::StringLiterals;

namespace {

constexpr int startBoundMs = 20000;
constexpr int toolBoundMs = 10000;

QProcessEnvironment withDisplay(const QString& display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, display);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    return environment;
}

// Runs a program to its end, bounded; its standard output in *output, its standard error in
// *errors.
bool runTool(const QString& display, const QString& program, const QStringList& arguments,
             QByteArray* output, QString* errors)
{
    QProcess tool;
    tool.setProcessEnvironment(withDisplay(display));
    tool.start(program, arguments);
    if (!tool.waitForFinished(toolBoundMs)) {
        tool.kill();
        tool.waitForFinished(2000);
        *errors =
            u"%1 %2 did not end within %3 ms"_s.arg(program, arguments.join(u' ')).arg(toolBoundMs);
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    *errors = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        *errors = u"%1 %2 failed (%3): %4"_s.arg(program, arguments.join(u' '))
                      .arg(tool.exitCode())
                      .arg(*errors);
        return false;
    }
    return true;
}

} // namespace

XServer::XServer() { leadOwnGroup(m_server); }

XServer::~XServer() { stop(); }

QStringList XServer::missingPrograms()
{
    QStringList missing;
    for (const QString& program : {u"Xvfb"_s, u"xdotool"_s, u"xwd"_s}) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            missing.append(program);
    }
    return missing;
}

bool XServer::start(QString* error)
{
    if (m_server.state() != QProcess::NotRunning)
        return true;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    m_server.setProcessEnvironment(environment);
    // The server picks a free display number itself and writes it to its standard output once it
    // accepts clients, so two tests never race for a number.
    const auto number = startForFirstLine(m_server, u"Xvfb"_s,
                                          {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s,
                                           u"%1x%2x24"_s.arg(width).arg(height), u"-nolisten"_s,
                                           u"tcp"_s, u"-noreset"_s},
                                          startBoundMs);
    bool isNumber = false;
    const int value = number ? number->trimmed().toInt(&isNumber) : 0;
    if (!isNumber) {
        *error = u"Xvfb did not start: %1"_s.arg(
            QString::fromLocal8Bit(m_server.readAllStandardError()).right(2000));
        stop();
        return false;
    }
    m_display = u":%1"_s.arg(value);
    return xdotool({u"getdisplaygeometry"_s}, error);
}

void XServer::stop()
{
    stopGroup(m_server);
    m_display.clear();
}

bool XServer::xdotool(const QStringList& arguments, QString* error) const
{
    QString errors;
    const bool done = runTool(m_display, u"xdotool"_s, arguments, nullptr, &errors);
    if (!done && error)
        *error = errors;
    return done;
}

QImage XServer::screenshot(QString* error) const
{
    QByteArray picture;
    if (!runTool(m_display, u"xwd"_s, {u"-root"_s, u"-silent"_s}, &picture, error))
        return {};
    return decodeXwd(picture, error);
}

QImage XServer::decodeXwd(const QByteArray& data, QString* error)
{
    // The header is 25 big-endian 32-bit fields, then the window's name, then the colour map.
    enum Field {
        HeaderSize,
        FileVersion,
        PixmapFormat,
        PixmapDepth,
        PixmapWidth,
        PixmapHeight,
        XOffset,
        ByteOrder,
        BitmapUnit,
        BitmapBitOrder,
        BitmapPad,
        BitsPerPixel,
        BytesPerLine,
        VisualClass,
        RedMask,
        GreenMask,
        BlueMask,
        BitsPerRgb,
        ColormapEntries,
        ColourCount,
        FieldCount = 25
    };
    constexpr qsizetype headerBytes = FieldCount * 4;
    constexpr quint32 zPixmap = 2, trueColour = 4, directColour = 5, colourEntryBytes = 12;
    if (data.size() < headerBytes) {
        *error = u"the picture is %1 bytes, shorter than its header"_s.arg(data.size());
        return {};
    }
    const auto field = [&data](Field index) {
        return qFromBigEndian<quint32>(data.constData() + index * 4);
    };
    const quint32 bitsPerPixel = field(BitsPerPixel);
    const quint32 visual = field(VisualClass);
    if (field(FileVersion) != 7 || field(PixmapFormat) != zPixmap ||
        (visual != trueColour && visual != directColour) ||
        (bitsPerPixel != 24 && bitsPerPixel != 32)) {
        *error = u"unsupported picture: version %1, format %2, visual %3, %4 bits a pixel"_s
                     .arg(field(FileVersion))
                     .arg(field(PixmapFormat))
                     .arg(visual)
                     .arg(bitsPerPixel);
        return {};
    }
    const int imageWidth = int(field(PixmapWidth));
    const int imageHeight = int(field(PixmapHeight));
    const qsizetype bytesPerLine = field(BytesPerLine);
    const qsizetype bytesPerPixel = bitsPerPixel / 8;
    const qsizetype start =
        qsizetype(field(HeaderSize)) + qsizetype(field(ColourCount)) * colourEntryBytes;
    if (imageWidth <= 0 || imageHeight <= 0 || bytesPerLine < imageWidth * bytesPerPixel ||
        data.size() < start + bytesPerLine * imageHeight) {
        *error = u"the picture of %1 x %2 pixels is cut short (%3 bytes)"_s.arg(imageWidth)
                     .arg(imageHeight)
                     .arg(data.size());
        return {};
    }
    const bool mostSignificantFirst = field(ByteOrder) == 1;
    const quint32 masks[3] = {field(RedMask), field(GreenMask), field(BlueMask)};
    const auto channel = [](quint32 pixel, quint32 mask) {
        if (mask == 0)
            return 0;
        const quint32 shift = quint32(std::countr_zero(mask));
        const quint32 top = mask >> shift;
        return int(((pixel & mask) >> shift) * 255 / top);
    };

    QImage image(imageWidth, imageHeight, QImage::Format_RGB32);
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData() + start);
    for (int y = 0; y < imageHeight; ++y) {
        const uchar* line = bytes + y * bytesPerLine;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < imageWidth; ++x) {
            const uchar* p = line + x * bytesPerPixel;
            quint32 pixel = 0;
            for (qsizetype i = 0; i < bytesPerPixel; ++i) {
                const qsizetype at = mostSignificantFirst ? i : bytesPerPixel - 1 - i;
                pixel = (pixel << 8) | p[at];
            }
            out[x] =
                qRgb(channel(pixel, masks[0]), channel(pixel, masks[1]), channel(pixel, masks[2]));
        }
    }
    return image;
}

} // namespace corvane::e2e
