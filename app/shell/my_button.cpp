#include "shell/my_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace cindral {

void CMyButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    // Frame only; the caption is drawn below in red.
    p.drawControl(QStyle::CE_PushButtonBevel, option);
    QPen previous = p.pen();
    p.setPen(QColor(255, 0, 0));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    p.setPen(previous);
}

}  // namespace cindral
