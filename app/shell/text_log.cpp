#include "shell/text_log.h"

#include <QScrollBar>
#include <QTextCursor>

#include "shell/qt_text.h"

namespace cindral {

void AppendAtEnd(QTextEdit& box, const QString& text, const QFont* font) {
    box.setFocus();
    QTextCursor cursor(box.document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(Qt::black);
    if (font) format.setFont(*font);
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    bool undo = box.document()->isUndoRedoEnabled();
    box.document()->setUndoRedoEnabled(false);
    cursor.insertText(t, format);
    box.document()->setUndoRedoEnabled(undo);
    box.setTextCursor(cursor);
    box.ensureCursorVisible();
}

void TextEditSink::AppendAtEnd(const std::u16string& text) {
    cindral::AppendAtEnd(box_, ToQ(text));
}

}  // namespace cindral
