#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap PalvexPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 40, 0));
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.16, s * 0.16);
    // Four bars rising to the right, lime like the graph.
    const qreal gap = s * 0.06;
    const qreal barWidth = (s * 0.76 - 3 * gap) / 4;
    for (int i = 0; i < 4; ++i) {
        const qreal height = s * (0.2 + 0.18 * i);
        const qreal left = s * 0.12 + i * (barWidth + gap);
        p.setBrush(i < 3 ? QColor(0, 255, 0) : QColor(0, 128, 0));
        p.drawRect(QRectF(left, s * 0.88 - height, barWidth, height));
    }
    return pixmap;
}

QIcon PalvexIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(PalvexPixmap(size));
    return icon;
}

QPixmap SpeedPicture()
{
    QPixmap pixmap(19, 18);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 1.5));
    p.setBrush(QColor(255, 255, 224));
    p.drawEllipse(QRectF(1.5, 1, 15, 15));
    p.setPen(QPen(QColor(0, 0, 128), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 8.5), QPointF(9, 3.5));
    p.drawLine(QPointF(9, 8.5), QPointF(12.5, 10.5));
    return pixmap;
}
