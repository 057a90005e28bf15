#include "compose/nvm_address_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/qt_text.h"

namespace cindral {

CNVMAddressDlg::CNVMAddressDlg(QWidget* parent) : QDialog(parent), edit_(new QLineEdit) {
    SetControlId(*this, kTemplate);
    setWindowTitle(QStringLiteral("NVM Address"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("NVM Address:")));
    SetControlId(*edit_, ids::nvm_address::kAddressEdit);
    edit_->setText(ToQ(address_));
    // The edit has the focus with its text selected, so typing replaces it.
    edit_->selectAll();
    edit_->setFocus();
    row->addWidget(edit_, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    SetControlId(*buttons->button(QDialogButtonBox::Ok), ids::kOk);
    SetControlId(*buttons->button(QDialogButtonBox::Cancel), ids::kCancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNVMAddressDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNVMAddressDlg::reject);
}

void CNVMAddressDlg::accept() {
    address_ = FromQ(edit_->text());
    QDialog::accept();
}

}  // namespace cindral
