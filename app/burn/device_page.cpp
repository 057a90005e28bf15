#include "burn/device_page.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QVBoxLayout>

#include "core/device_info.h"
#include "core/text.h"
#include "shell/qt_text.h"

namespace cindral {

CDeviceInformation::CDeviceInformation(IOrdwin& ordwin, IMessagePort& messages, QWidget* parent)
    : CPageDlg(kTemplate, parent),
      ordwin_(ordwin),
      list_(new CListCtrlStyled),
      output_(new QTextEdit),
      sink_(*output_),
      log_(sink_, messages) {
    auto* layout = new QVBoxLayout(this);
    auto* infoGroup = new QGroupBox(QStringLiteral("Device Information"));
    auto* infoLayout = new QVBoxLayout(infoGroup);
    SetControlId(*list_, ids::device::kInfoList);
    infoLayout->addWidget(list_);
    auto* logGroup = new QGroupBox(QStringLiteral("Composer Output"));
    auto* logLayout = new QVBoxLayout(logGroup);
    SetControlId(*output_, ids::device::kOutputEdit);
    output_->setLineWrapMode(QTextEdit::NoWrap);
    output_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    output_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    output_->setAcceptRichText(false);
    logLayout->addWidget(output_);
    layout->addWidget(infoGroup, 1);
    layout->addWidget(logGroup, 1);

    list_->InsertColumn(0, QStringLiteral("Variable or SFR"), CListCtrlStyled::kLeft, 188);
    list_->InsertColumn(1, QStringLiteral("Value"), CListCtrlStyled::kLeft, 120);
    list_->header()->setStretchLastSection(false);
    for (const char* name : kDeviceRowNames) {
        list_->InsertItem(rowCount_, QString::fromLatin1(name));
        ++rowCount_;
    }
}

void CDeviceInformation::ReadDevice() {
    DeviceReading r = ReadDeviceInformation(ordwin_);
    for (int row = 0; row < kDeviceRowCount; ++row)
        list_->SetItemText(row, 1, ToQ(r.values[static_cast<std::size_t>(row)]));
    protectionByte_ = r.protectionByte;
    nvmUserStart_ = WidenText(r.nvmUserStartText);
}

void CDeviceInformation::ClearDevice() {
    for (int row = 0; row < kDeviceRowCount; ++row) list_->SetItemText(row, 1, QString());
}

}  // namespace cindral
