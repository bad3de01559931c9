#include "coverpainter.h"

#include "catalog.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int Width = 230;
constexpr int Height = 340;
}

QByteArray CoverPainter::paint(const Dictionary& dictionary)
{
    // The board's hue follows the sku, so every dictionary keeps its colour from run to run.
    const QByteArray digest = QCryptographicHash::hash(dictionary.sku.toUtf8(), QCryptographicHash::Md5);
    const int hue = ((quint8(digest.at(0)) << 8) | quint8(digest.at(1))) % 360;
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient board(0, 0, Width, Height);
    board.setColorAt(0, QColor::fromHsv(hue, 150, 200));
    board.setColorAt(1, QColor::fromHsv(hue, 200, 110));
    painter.fillRect(image.rect(), board);

    painter.fillRect(QRect(0, 0, 14, Height), QColor::fromHsv(hue, 220, 80));
    painter.setPen(QPen(QColor(255, 255, 255, 200), 2));
    painter.drawRect(QRect(28, 24, Width - 48, Height - 48));

    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(24);
    font.setBold(true);
    painter.setFont(font);
    const QRect textArea(40, 50, Width - 72, 110);
    painter.drawText(textArea, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, dictionary.fields.value(QStringLiteral("title")));

    font.setPixelSize(15);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(40, 170, Width - 72, 80), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     dictionary.fields.value(QStringLiteral("subtitle")));
    painter.drawText(QRect(40, Height - 64, Width - 72, 24), Qt::AlignHCenter | Qt::AlignVCenter,
                     dictionary.fields.value(QStringLiteral("lang")));
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}
