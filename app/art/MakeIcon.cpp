// MakeIcon: draws the program's icon at build time, as PNG files at the
// usual hicolor sizes and as one SVG file, into a hicolor theme tree under
// the directory given as the only argument. Both forms are rendered from the
// one list of shapes below, so the bitmaps and the scalable icon agree.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QString>
#include <QTextStream>
#include <cstdio>
#include <vector>

namespace {

// One shape on the 256 by 256 canvas of the icon.
struct TShape {
    enum EKind { Rect, Ellipse, Polygon, Line } Kind;
    std::vector<QPointF> Points; // Rect, Ellipse: top-left, bottom-right; Line: two ends
    QColor Fill;                 // invalid: not filled
    QColor Stroke;               // invalid: no outline
    double StrokeWidth = 0;
    double Radius = 0; // corner radius of a Rect
};

constexpr double kCanvas = 256;

// A picture frame: white mount, sky, two hills and a sun.
void AddFrame(std::vector<TShape>& shapes, double x, double y, double w, double h)
{
    const QColor ink(60, 60, 60);
    shapes.push_back({TShape::Rect, {{x, y}, {x + w, y + h}}, Qt::white, ink, 6, 4});
    const double ix = x + 12, iy = y + 12, iw = w - 24, ih = h - 24;
    shapes.push_back({TShape::Rect, {{ix, iy}, {ix + iw, iy + ih}}, QColor(120, 170, 230), {}, 0, 0});
    shapes.push_back({TShape::Polygon,
                      {{ix, iy + ih},
                       {ix + iw * 0.35, iy + ih * 0.4},
                       {ix + iw * 0.6, iy + ih * 0.7},
                       {ix + iw * 0.8, iy + ih * 0.5},
                       {ix + iw, iy + ih}},
                      QColor(70, 140, 70),
                      {},
                      0,
                      0});
    const QPointF sun(ix + iw * 0.78, iy + ih * 0.27);
    shapes.push_back(
        {TShape::Ellipse, {sun - QPointF(9, 9), sun + QPointF(9, 9)}, QColor(250, 200, 40), {}, 0, 0});
}

// Two overlapping picture frames, the front one a twin of the back one, under
// a magnifying glass: the logo's motif on a rounded tile.
std::vector<TShape> IconShapes()
{
    std::vector<TShape> shapes;
    shapes.push_back({TShape::Rect, {{8, 8}, {248, 248}}, QColor(236, 240, 246), QColor(70, 90, 120), 8, 44});
    AddFrame(shapes, 28, 36, 136, 104);
    AddFrame(shapes, 92, 100, 136, 104);
    shapes.push_back({TShape::Line, {{150, 180}, {214, 236}}, {}, QColor(40, 40, 40), 26, 0});
    shapes.push_back(
        {TShape::Ellipse, {{62, 92}, {170, 200}}, QColor(255, 255, 255, 100), QColor(40, 40, 40), 12, 0});
    return shapes;
}

void Paint(QPainter& p, const TShape& s)
{
    p.setBrush(s.Fill.isValid() ? QBrush(s.Fill) : Qt::NoBrush);
    p.setPen(s.Stroke.isValid() ? QPen(s.Stroke, s.StrokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
                                : QPen(Qt::NoPen));
    const QRectF box = s.Points.size() == 2 ? QRectF(s.Points[0], s.Points[1]) : QRectF();
    switch (s.Kind) {
    case TShape::Rect:
        p.drawRoundedRect(box, s.Radius, s.Radius);
        break;
    case TShape::Ellipse:
        p.drawEllipse(box);
        break;
    case TShape::Polygon:
        p.drawPolygon(QPolygonF(QList<QPointF>(s.Points.begin(), s.Points.end())));
        break;
    case TShape::Line:
        p.drawLine(s.Points[0], s.Points[1]);
        break;
    }
}

QImage DrawIcon(const std::vector<TShape>& shapes, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kCanvas, size / kCanvas);
    for (const TShape& shape : shapes)
        Paint(p, shape);
    return image;
}

QString SvgPaint(const TShape& s)
{
    auto colour = [](const QColor& c) { return c.name(QColor::HexRgb); };
    QString text = s.Fill.isValid() ? QStringLiteral(" fill=\"%1\"").arg(colour(s.Fill))
                                    : QStringLiteral(" fill=\"none\"");
    if (s.Fill.isValid() && s.Fill.alpha() < 255)
        text += QStringLiteral(" fill-opacity=\"%1\"").arg(s.Fill.alphaF(), 0, 'f', 3);
    if (s.Stroke.isValid())
        text += QStringLiteral(
                    " stroke=\"%1\" stroke-width=\"%2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"")
                    .arg(colour(s.Stroke))
                    .arg(s.StrokeWidth);
    return text;
}

QString SvgElement(const TShape& s)
{
    const QPointF a = s.Points.front(), b = s.Points.back();
    switch (s.Kind) {
    case TShape::Rect:
        return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\"%6/>")
            .arg(a.x())
            .arg(a.y())
            .arg(b.x() - a.x())
            .arg(b.y() - a.y())
            .arg(s.Radius)
            .arg(SvgPaint(s));
    case TShape::Ellipse:
        return QStringLiteral("<ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"%5/>")
            .arg((a.x() + b.x()) / 2)
            .arg((a.y() + b.y()) / 2)
            .arg((b.x() - a.x()) / 2)
            .arg((b.y() - a.y()) / 2)
            .arg(SvgPaint(s));
    case TShape::Polygon: {
        QStringList points;
        for (const QPointF& point : s.Points)
            points << QStringLiteral("%1,%2").arg(point.x()).arg(point.y());
        return QStringLiteral("<polygon points=\"%1\"%2/>").arg(points.join(u' '), SvgPaint(s));
    }
    case TShape::Line:
        return QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\"%5/>")
            .arg(a.x())
            .arg(a.y())
            .arg(b.x())
            .arg(b.y())
            .arg(SvgPaint(s));
    }
    return {};
}

bool WriteSvg(const std::vector<TShape>& shapes, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QTextStream out(&file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 "
           "256\">\n";
    for (const TShape& shape : shapes)
        out << "  " << SvgElement(shape) << "\n";
    out << "</svg>\n";
    out.flush();
    return file.flush() && out.status() == QTextStream::Ok;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: quorvane_makeicon OUTPUT_DIRECTORY\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const std::vector<TShape> shapes = IconShapes();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(dir) || !DrawIcon(shapes, size).save(out.filePath(dir + "/quorvane.png"), "PNG")) {
            std::fprintf(stderr, "quorvane_makeicon: cannot write the %dx%d icon\n", size, size);
            return 1;
        }
    }
    const QString scalable = QStringLiteral("hicolor/scalable/apps");
    if (!out.mkpath(scalable) || !WriteSvg(shapes, out.filePath(scalable + "/quorvane.svg"))) {
        std::fputs("quorvane_makeicon: cannot write the scalable icon\n", stderr);
        return 1;
    }
    return 0;
}
