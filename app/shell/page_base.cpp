#include "shell/page_base.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <algorithm>

namespace cindral {

QPushButton* MakePageButton(const char* caption, int id) {
    auto* b = new QPushButton(QString::fromLatin1(caption));
    SetControlId(*b, id);
    b->setAutoDefault(false);
    return b;
}

void CPageDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

int CaptionRoom(const QPushButton& button) {
    // About one average character each side, and never less than the frame needs.
    return 2 * std::max(QFontMetrics(button.font()).averageCharWidth(), 6) + 4;
}

void FitButtonToCaptions(QPushButton& button, const QStringList& captions) {
    const QFontMetrics metrics(button.font());
    int widest = 0;
    for (const QString& caption : captions)
        widest = std::max(widest, metrics.horizontalAdvance(QString(caption).remove('&')));
    button.setMinimumWidth(std::max(button.minimumWidth(), widest + CaptionRoom(button)));
}

void FitButtonsToCaptions(QWidget& root) {
    for (QPushButton* button : root.findChildren<QPushButton*>())
        FitButtonToCaptions(*button, {button->text()});
}

}  // namespace cindral
