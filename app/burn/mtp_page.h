// The MTP Write tab. Its connection hook enables and disables the MTP controls,
// which come with the MTP work.
#pragma once

#include "shell/page_base.h"

namespace cindral {

class CBurnEPROMDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 137;

    explicit CBurnEPROMDlg(QWidget* parent = nullptr) : CPageDlg(kTemplate, parent) {}

    // Connection change from the main window.
    void SetConnectionState(int flag) { m_bConnected = flag; }
    int Connected() const { return m_bConnected; }

  private:
    int m_bConnected = 0;
};

}  // namespace cindral
