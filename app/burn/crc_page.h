// The CRC tab: the chip's region CRC32s against their references.
#pragma once

#include <QPushButton>
#include <QTextEdit>
#include <functional>
#include <string>

#include "core/ordwin_api.h"
#include "core/ports.h"
#include "shell/page_base.h"

namespace cindral {

class CRunCRCDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = ids::crc::kTemplate;
    // Lines of one report as the box shows it, the caret's empty last line included.
    static constexpr int kReportLines = 21;

    CRunCRCDlg(IOrdwin& ordwin, IMessagePort& messages, QWidget* parent = nullptr);

    void SetConnected(int flag) { bConnected_ = flag; }
    int Connected() const { return bConnected_; }

    void OnRun();
    void OnClear();

    QTextEdit& OutputBox() { return *output_; }

    // Told how each run ended ("trim CRC OK, user CRC DIFF", or the error line),
    // and whether every call succeeded.
    std::function<void(const std::u16string& outcome, bool ok)> onRunEnded;

  private:
    void PrintLine(const std::string& text, bool lineEnd);

    IOrdwin& ordwin_;
    IMessagePort& messages_;
    QTextEdit* output_;
    int bConnected_ = 0;
};

}  // namespace cindral
