#include "burn/crc_page.h"

#include <QAbstractTextDocumentLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include "core/crc_report.h"
#include "shell/text_log.h"

namespace cindral {

CRunCRCDlg::CRunCRCDlg(IOrdwin& ordwin, IMessagePort& messages, QWidget* parent)
    : CPageDlg(kTemplate, parent), ordwin_(ordwin), messages_(messages), output_(new QTextEdit) {
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    auto* run = new QPushButton(QStringLiteral("Run"));
    SetControlId(*run, ids::crc::kRunButton);
    auto* clear = new QPushButton(QStringLiteral("Clear"));
    SetControlId(*clear, ids::crc::kClearButton);
    buttons->addWidget(run);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    auto* group = new QGroupBox(QStringLiteral("CRC Calculation Output"));
    auto* groupLayout = new QVBoxLayout(group);
    SetControlId(*output_, ids::crc::kOutputEdit);
    output_->setReadOnly(true);
    output_->setLineWrapMode(QTextEdit::NoWrap);
    // Room for a whole report (its blank first line, nineteen lines and the
    // cursor's line) in the report's own font, so the NVM TRIM line is never hidden.
    {
        QFont font(QStringLiteral("Courier New"));
        font.setFixedPitch(true);
        font.setStyleHint(QFont::Monospace);
        const QFontMetrics metrics(font);
        const int frame =
            2 * (output_->frameWidth() + static_cast<int>(output_->document()->documentMargin()));
        output_->setMinimumHeight(kReportLines * metrics.lineSpacing() + frame +
                                  output_->horizontalScrollBar()->sizeHint().height());
    }
    groupLayout->addWidget(output_);
    layout->addLayout(buttons);
    layout->addWidget(group, 1);
    connect(run, &QPushButton::clicked, this, &CRunCRCDlg::OnRun);
    connect(clear, &QPushButton::clicked, this, &CRunCRCDlg::OnClear);
}

void CRunCRCDlg::PrintLine(const std::string& text, bool lineEnd) {
    QFont font(QStringLiteral("Courier New"));
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
    QString t = QString::fromLatin1(text);
    if (lineEnd) t += QStringLiteral("\r\n");
    AppendAtEnd(*output_, t, &font);
}

void CRunCRCDlg::OnRun() {
    if (bConnected_ == 0) {
        messages_.Ok(u"Not connected to the device.\n");
        return;
    }
    const int start = output_->document()->characterCount() - 1;
    const CrcReading reading = ReadCrcs(ordwin_);
    for (const ReportLine& line : FormatCrcReport(reading)) PrintLine(line.text, line.lineEnd);
    // The report is read from its first line, not from where the caret ended.
    QTextCursor first(output_->document());
    first.setPosition(std::max(0, start));
    output_->setTextCursor(first);
    const QRectF line = output_->document()->documentLayout()->blockBoundingRect(first.block());
    output_->verticalScrollBar()->setValue(static_cast<int>(line.top()));
    if (onRunEnded) {
        const std::u16string outcome =
            reading.ok ? std::u16string(u"trim CRC ") + (reading.TrimMatches() ? u"OK" : u"DIFF") +
                             u", user CRC " + (reading.UserMatches() ? u"OK" : u"DIFF")
                       : u"Error occurred performing CRC operations.";
        onRunEnded(outcome, reading.ok);
    }
}

void CRunCRCDlg::OnClear() {
    output_->clear();
}

}  // namespace cindral
