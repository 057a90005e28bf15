// The Direct Burn tab. Holds the connection flag the main window gives it at tab
// changes; its controls come with the direct-burn work.
#pragma once

#include "shell/page_base.h"

namespace cindral {

class CDirectBurnDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 131;

    explicit CDirectBurnDlg(QWidget* parent = nullptr) : CPageDlg(kTemplate, parent) {}

    void SetConnected(int flag) { m_bConnected = flag; }
    int Connected() const { return m_bConnected; }

  private:
    int m_bConnected = 0;
};

}  // namespace cindral
