// Appending to a rich-text box the way the log and the report boxes do: focus to
// the box, caret to the end, black text, no undo record.
#pragma once

#include <QTextEdit>

#include "core/output_log.h"

namespace cindral {

void AppendAtEnd(QTextEdit& box, const QString& text, const QFont* font = nullptr);

class TextEditSink final : public IOutputSink {
  public:
    explicit TextEditSink(QTextEdit& box) : box_(box) {}
    void AppendAtEnd(const std::u16string& text) override;

  private:
    QTextEdit& box_;
};

}  // namespace cindral
