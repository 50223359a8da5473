// Tools of the photo tests: the picture, the encoders, the comparison.
#include "PhotoTools.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTransform>
#include <algorithm>
#include <cstdlib>

namespace quorvane::testing {

QImage MakeTestPicture(int width, int height, bool transparent)
{
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(
                x, y, QColor(255 * x / width, 255 * y / height, 128 + 100 * (x - y) / (width + height)));
    QPainter painter(&image);
    painter.fillRect(QRect(width / 8, height / 8, width / 4, height / 5), QColor(240, 200, 20));
    painter.fillRect(QRect(width / 2, height * 5 / 8, width / 3, height / 4), QColor(20, 40, 160));
    painter.end();
    if (transparent) {
        // A shape that exists only in the alpha channel: an opaque disc.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int dx = x - width / 3, dy = y - height / 2;
                if (dx * dx + dy * dy > (height / 3) * (height / 3))
                    image.setPixelColor(x, y, QColor(0, 0, 0, 0));
            }
    }
    return image;
}

QString ToolPath(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

bool RunTool(const QString& name, const QStringList& arguments)
{
    const QString path = ToolPath(name);
    if (path.isEmpty()) return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(path, arguments);
    if (!process.waitForFinished(120000)) return false;
    process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

int LargestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage y = b.convertToFormat(QImage::Format_RGBA8888);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            largest = std::max(largest, std::abs(int(p[i]) - int(q[i])));
    }
    return largest;
}

QImage ImageOfRgba(const std::vector<std::uint8_t>& rgba, int width, int height)
{
    return QImage(rgba.data(), width, height, width * 4, QImage::Format_RGBA8888).copy();
}

QImage TurnedByQt(const QImage& image, int orientation)
{
    auto turned = [&](int degrees) { return image.transformed(QTransform().rotate(degrees)); };
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return turned(90).mirrored(true, false);
    case 6:
        return turned(90);
    case 7:
        return turned(270).mirrored(true, false);
    case 8:
        return turned(270);
    default:
        return image;
    }
}

std::vector<std::uint8_t> FileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

} // namespace quorvane::testing
