// The Main (compose) tab. Receives the connection, the chip's PROT0_CTRL and the
// NVM user start from the main window; its lists and options come with the
// compose work.
#pragma once

#include <cstdint>
#include <string>

#include "shell/page_base.h"

namespace cindral {

class CMainDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 130;

    explicit CMainDlg(QWidget* parent = nullptr) : CPageDlg(kTemplate, parent) {}

    void SetConnected(int flag) { m_bConnected = flag; }
    void SetBootStatus(uint8_t value) { m_bootStatus = value; }
    void SetFirstBootAddress(const std::u16string& text) {
        if (!text.empty()) m_firstBootAddress = text;
    }

    int Connected() const { return m_bConnected; }
    uint8_t BootStatus() const { return m_bootStatus; }
    const std::u16string& FirstBootAddress() const { return m_firstBootAddress; }

  private:
    std::u16string m_firstBootAddress = u"0";
    uint8_t m_bootStatus = 0;
    int m_bConnected = 0;
};

}  // namespace cindral
