#include "resources/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace cindral {

QPixmap AppIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A chip body with pins and a spark: a chip being burned.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRoundedRect(QRectF(s * 0.2, s * 0.2, s * 0.6, s * 0.6), s * 0.06, s * 0.06);
    p.setBrush(QColor(190, 190, 200));
    for (int i = 0; i < 3; ++i) {
        qreal o = s * (0.3 + 0.17 * i);
        p.drawRect(QRectF(o, s * 0.08, s * 0.07, s * 0.12));
        p.drawRect(QRectF(o, s * 0.8, s * 0.07, s * 0.12));
        p.drawRect(QRectF(s * 0.08, o, s * 0.12, s * 0.07));
        p.drawRect(QRectF(s * 0.8, o, s * 0.12, s * 0.07));
    }
    QPainterPath bolt;
    bolt.moveTo(s * 0.55, s * 0.26);
    bolt.lineTo(s * 0.36, s * 0.54);
    bolt.lineTo(s * 0.5, s * 0.54);
    bolt.lineTo(s * 0.44, s * 0.74);
    bolt.lineTo(s * 0.65, s * 0.44);
    bolt.lineTo(s * 0.51, s * 0.44);
    bolt.closeSubpath();
    p.setBrush(QColor(255, 64, 32));
    p.drawPath(bolt);
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(AppIconPixmap(16));
    icon.addPixmap(AppIconPixmap(32));
    icon.addPixmap(AppIconPixmap(64));
    return icon;
}

}  // namespace cindral
