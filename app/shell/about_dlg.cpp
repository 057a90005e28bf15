#include "shell/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "resources/app_icon.h"

namespace cindral {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Cindral"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(AppIconPixmap(32));
    auto* version = new QLabel(version_);
    SetControlId(*version, ids::about::kVersionLabel);
    row->addWidget(icon);
    row->addWidget(version, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"));
    SetControlId(*ok, ids::kOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addLayout(row);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

}  // namespace cindral
