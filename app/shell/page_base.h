// Common base of the five tab pages.
#pragma once

#include <QPushButton>
#include <QStringList>
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

// A page's push button with its control id; it never acts as the default button.
QPushButton* MakePageButton(const char* caption, int id);

// Room a push button keeps beside its caption, in the button's own font.
int CaptionRoom(const QPushButton& button);
// Gives every push button under `root` the width of its caption (and of the
// other captions it can take) plus that room; styles size some captions edge to edge.
void FitButtonsToCaptions(QWidget& root);
void FitButtonToCaptions(QPushButton& button, const QStringList& captions);

}  // namespace cindral
