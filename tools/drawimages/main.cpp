// Draws the program's own pictures (splash, icons). Run once; its output is committed under
// resources/images. Usage: QT_QPA_PLATFORM=offscreen drawimages <output dir>
// With --icons <dir> <name> it draws only the desktop icon, at the icon theme's usual sizes, as
// <dir>/<n>x<n>/apps/<name>.png (the build does this for installation).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

static void drawBook(QPainter& p, const QRectF& r)
{
    QLinearGradient cover(r.topLeft(), r.bottomRight());
    cover.setColorAt(0, QColor("#2f6f8f"));
    cover.setColorAt(1, QColor("#1b3f5c"));
    QPainterPath path;
    path.addRoundedRect(r, r.width() * 0.12, r.width() * 0.12);
    p.fillPath(path, cover);
    p.setPen(QPen(QColor("#f2c14e"), r.width() * 0.06));
    const qreal m = r.width() * 0.22;
    p.drawLine(QPointF(r.left() + m, r.top() + m), QPointF(r.center().x(), r.bottom() - m));
    p.drawLine(QPointF(r.center().x(), r.bottom() - m), QPointF(r.right() - m, r.top() + m));
}

static QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawBook(p, QRectF(size * 0.06, size * 0.06, size * 0.88, size * 0.88));
    return img;
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--icons") {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
            const QString folder = QStringLiteral("%1/%2x%2/apps").arg(dir).arg(size);
            if (!QDir().mkpath(folder) || !icon(size).save(folder + QLatin1Char('/') + QString::fromLocal8Bit(argv[3]) + ".png"))
                return 1;
        }
        return 0;
    }
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    QImage splash(480, 280, QImage::Format_ARGB32_Premultiplied);
    splash.fill(Qt::transparent);
    {
        QPainter p(&splash);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(8, 8, 464, 264), 28, 28);
        QLinearGradient bg(0, 0, 0, 280);
        bg.setColorAt(0, QColor(250, 247, 240, 245));
        bg.setColorAt(1, QColor(232, 225, 210, 245));
        p.fillPath(card, bg);
        p.setPen(QPen(QColor("#1b3f5c"), 2));
        p.drawPath(card);
        drawBook(p, QRectF(40, 70, 120, 120));
        QFont title("DejaVu Serif", 34, QFont::Bold);
        p.setFont(title);
        p.setPen(QColor("#1b3f5c"));
        p.drawText(QRectF(180, 80, 280, 60), Qt::AlignLeft | Qt::AlignVCenter, "Vocalume");
        QFont sub("DejaVu Sans", 13);
        p.setFont(sub);
        p.setPen(QColor("#5a5a5a"));
        p.drawText(QRectF(182, 140, 280, 30), Qt::AlignLeft | Qt::AlignVCenter, "I tuoi dizionari digitali");
        p.drawText(QRectF(182, 200, 280, 30), Qt::AlignLeft | Qt::AlignVCenter, "Avvio in corso...");
    }
    splash.save(out + "/splash-png32-alfa.png");

    icon(64).save(out + "/icon-zenta.png");
    icon(32).save(out + "/favicon.ico", "ICO");

    QImage warning(16, 16, QImage::Format_ARGB32_Premultiplied);
    warning.fill(Qt::transparent);
    {
        QPainter p(&warning);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath tri;
        tri.moveTo(8, 1);
        tri.lineTo(15, 14.5);
        tri.lineTo(1, 14.5);
        tri.closeSubpath();
        p.fillPath(tri, QColor("#e8a317"));
        p.setPen(QPen(QColor("#7a4a00"), 1));
        p.drawPath(tri);
        p.setPen(QPen(Qt::black, 1.6));
        p.drawLine(QPointF(8, 5), QPointF(8, 10));
        p.drawPoint(QPointF(8, 12.5));
    }
    warning.save(out + "/warning_icon.png");
    return 0;
}
