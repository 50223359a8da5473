// MakeArt: draws the program's own small pictures at build time (the logo,
// the hand pointer and the small images of the result list) and writes
// them as PNG files into the directory given as the only argument.
// Every picture is drawn here with QPainter; nothing is taken from elsewhere.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage NewImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The logo: two overlapping picture frames, the front one a twin of the back
// one, under a magnifying glass; the program's name below. 115 by 148.
QImage DrawLogo()
{
    QImage image = NewImage(115, 148);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), QColor(236, 240, 246));
    p.setPen(QPen(QColor(70, 90, 120), 1));
    p.drawRect(QRectF(0.5, 0.5, 114, 147));

    auto frame = [&p](QRectF r, QColor sky) {
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(Qt::white);
        p.drawRect(r);
        QRectF inner = r.adjusted(4, 4, -4, -4);
        p.setPen(Qt::NoPen);
        p.setBrush(sky);
        p.drawRect(inner);
        QPainterPath hills;
        hills.moveTo(inner.bottomLeft());
        hills.lineTo(inner.left() + inner.width() * 0.35, inner.top() + inner.height() * 0.45);
        hills.lineTo(inner.left() + inner.width() * 0.6, inner.top() + inner.height() * 0.7);
        hills.lineTo(inner.left() + inner.width() * 0.8, inner.top() + inner.height() * 0.5);
        hills.lineTo(inner.bottomRight());
        hills.closeSubpath();
        p.setBrush(QColor(70, 140, 70));
        p.drawPath(hills);
        p.setBrush(QColor(250, 200, 40));
        p.drawEllipse(QPointF(inner.left() + inner.width() * 0.75, inner.top() + inner.height() * 0.25), 4,
                      4);
    };
    frame(QRectF(10, 12, 62, 48), QColor(120, 170, 230));
    frame(QRectF(40, 38, 62, 48), QColor(120, 170, 230));

    p.setPen(QPen(QColor(40, 40, 40), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(62, 100), QPointF(80, 120));
    p.setPen(QPen(QColor(40, 40, 40), 3));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(48, 86), 18, 18);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(30, 60, 110));
    p.drawText(QRectF(0, 124, 115, 22), Qt::AlignCenter, QStringLiteral("Quorvane"));
    return image;
}

// A pointing hand, 32 by 32, its fingertip at (10, 1): the pointer of the
// title and the logo.
QImage DrawHandPointer()
{
    QImage image = NewImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(7.5, 1.5, 6, 16), 3, 3);       // index finger
    hand.addRoundedRect(QRectF(13.5, 9.5, 5, 10), 2.5, 2.5);  // middle finger
    hand.addRoundedRect(QRectF(18.5, 10.5, 5, 10), 2.5, 2.5); // ring finger
    hand.addRoundedRect(QRectF(23.5, 12.5, 4, 9), 2, 2);      // little finger
    hand.addRoundedRect(QRectF(2.5, 14.5, 8, 5), 2.5, 2.5);   // thumb
    hand.addRoundedRect(QRectF(7.5, 14.5, 20, 15), 5, 5);     // palm
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand.simplified());
    return image;
}

QImage DrawSmallPicture()
{
    QImage image = NewImage(16, 16);
    QPainter p(&image);
    p.setPen(QColor(50, 50, 50));
    p.setBrush(QColor(130, 180, 235));
    p.drawRect(1, 2, 13, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 140, 60));
    p.drawPolygon(QPolygon({QPoint(2, 13), QPoint(6, 7), QPoint(9, 10), QPoint(11, 8), QPoint(14, 13)}));
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(QPoint(11, 5), 1, 1);
    return image;
}

QImage DrawSmallFile()
{
    QImage image = NewImage(16, 16);
    QPainter p(&image);
    p.setPen(QColor(70, 70, 70));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
    p.drawLine(10, 1, 10, 4);
    p.drawLine(10, 4, 13, 4);
    p.setPen(QColor(150, 150, 150));
    for (int y = 6; y <= 12; y += 2)
        p.drawLine(5, y, 11, y);
    return image;
}

// The mark of the focused row's group: a bright diamond.
QImage DrawSmallGroup()
{
    QImage image = NewImage(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 60, 0), 1));
    p.setBrush(QColor(255, 128, 0));
    p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(14.5, 8), QPointF(8, 14.5), QPointF(1.5, 8)}));
    return image;
}

// The mark of a row whose file was replaced by a link or clone of its kept
// file: a small page with a bent arrow pointing away to the kept one.
QImage DrawSmallLink()
{
    QImage image = DrawSmallFile();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 90, 190), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath bend;
    bend.moveTo(4, 14);
    bend.quadTo(4, 8, 11, 8);
    p.drawPath(bend);
    p.setBrush(QColor(20, 90, 190));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(15.5, 8), QPointF(10, 4), QPointF(10, 12)}));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: quorvane_makeart OUTPUT_DIRECTORY\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "quorvane_makeart: cannot create %s\n", argv[1]);
        return 1;
    }
    const struct {
        const char* name;
        QImage image;
    } pictures[] = {{"logo.png", DrawLogo()},
                    {"handpoint.png", DrawHandPointer()},
                    {"image_picture.png", DrawSmallPicture()},
                    {"image_file.png", DrawSmallFile()},
                    {"image_group.png", DrawSmallGroup()},
                    {"image_link.png", DrawSmallLink()}};
    for (const auto& picture : pictures) {
        if (!picture.image.save(out.filePath(QString::fromLatin1(picture.name)), "PNG")) {
            std::fprintf(stderr, "quorvane_makeart: cannot write %s\n", picture.name);
            return 1;
        }
    }
    return 0;
}
