// The About box.
#pragma once

#include <QDialog>
#include <QString>

#include "shell/control_ids.h"

namespace cindral {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = ids::about::kTemplate;
    explicit CAboutDlg(QWidget* parent = nullptr);

    QString version_ = QStringLiteral("Cindral Version 1.3");
};

}  // namespace cindral
