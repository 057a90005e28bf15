// Common base of the five tab pages.
#pragma once

#include <QWidget>

#include "shell/control_ids.h"

namespace cindral {

class CPageDlg : public QWidget {
    Q_OBJECT
  public:
    CPageDlg(int templateId, QWidget* parent = nullptr)
        : QWidget(parent), templateId_(templateId) {}
    int TemplateId() const { return templateId_; }

  protected:
    // Escape must never close the window, and Enter inside a page is no command.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int templateId_;
};

}  // namespace cindral
