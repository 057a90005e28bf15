#include "burn/crc_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
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
    for (const ReportLine& line : RunCrcReport(ordwin_)) PrintLine(line.text, line.lineEnd);
}

void CRunCRCDlg::OnClear() {
    output_->clear();
}

}  // namespace cindral
