// Push button with a red caption, normal and pressed.
#pragma once

#include <QPushButton>

namespace cindral {

class CMyButton : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace cindral
