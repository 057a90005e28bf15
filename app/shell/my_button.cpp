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
    // Disabled (also with the whole window), the caption takes the disabled colour.
    p.setPen(isEnabled() ? QColor(255, 0, 0)
                         : palette().color(QPalette::Disabled, QPalette::ButtonText));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    p.setPen(previous);
}

}  // namespace cindral
