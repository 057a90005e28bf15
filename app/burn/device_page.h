// The Device tab: boot variables and registers of the connected Zeltra, and the
// program's output log ("Composer Output").
#pragma once

#include <QTextEdit>
#include <cstdint>
#include <memory>
#include <string>

#include "core/ordwin_api.h"
#include "core/output_log.h"
#include "core/ports.h"
#include "shell/list_ctrl_styled.h"
#include "shell/page_base.h"
#include "shell/text_log.h"

namespace cindral {

class CDeviceInformation : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = ids::device::kTemplate;

    CDeviceInformation(IOrdwin& ordwin, IMessagePort& messages, QWidget* parent = nullptr);

    void ReadDevice();
    void ClearDevice();

    void SetConnected(int flag) { bConnected_ = flag; }
    int Connected() const { return bConnected_; }
    // The adapter the window connected, for the log lines that end an operation.
    void SetAdapterSerial(std::u16string serial) { adapterSerial_ = std::move(serial); }
    const std::u16string& AdapterSerial() const { return adapterSerial_; }
    uint8_t ProtectionByte() const { return protectionByte_; }
    const std::u16string& NvmUserStartText() const { return nvmUserStart_; }
    int RowCount() const { return rowCount_; }

    void WriteOutputText(const std::u16string& text, bool timeStamp, bool lineEnd) {
        log_.WriteOutputText(text, timeStamp, lineEnd);
    }
    void WriteOutputLine(const std::u16string& text) { log_.WriteOutputLine(text); }
    void AppendOutputFile(const std::string& path) { log_.AppendOutputFile(path); }

    CListCtrlStyled& List() { return *list_; }
    QTextEdit& OutputBox() { return *output_; }

  private:
    IOrdwin& ordwin_;
    CListCtrlStyled* list_;
    QTextEdit* output_;
    TextEditSink sink_;
    OutputLog log_;
    int rowCount_ = 0;
    int bConnected_ = 0;
    uint8_t protectionByte_ = 0;
    std::u16string nvmUserStart_;
    std::u16string adapterSerial_;
};

}  // namespace cindral
