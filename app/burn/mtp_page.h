// The MTP Write tab: shows the Zeltra's 16 MTP bytes, edits them in place, loads
// and saves them as a hex file, and writes them with the patched writer program.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <functional>
#include <string>

#include "core/mtp_content.h"
#include "core/mtp_engine.h"
#include "core/ports.h"
#include "shell/page_base.h"

namespace cindral {

class CBurnEPROMDlg : public CPageDlg {
    Q_OBJECT
  public:
    // Told how each MTP write that ran ended (the text of its box), for the log.
    std::function<void(const std::u16string& outcome)> onWriteEnded;

    static constexpr int kTemplate = ids::mtp::kTemplate;

    CBurnEPROMDlg(IOrdwin& ordwin, Ports ports, QWidget* parent = nullptr);
    ~CBurnEPROMDlg() override;

    // Connection change from the main window; tab changes repeat the current state,
    // which changes nothing.
    void SetConnectionState(int flag);
    int Connected() const { return bConnected_; }

    void OnRead();
    void OnWrite();
    void OnOpenHexFile();
    void OnSaveHexFile();

    QTextEdit& ContentBox() { return *content_; }
    QLineEdit& PathBox() { return *path_; }
    QPushButton& ReadButton() { return *read_; }
    QPushButton& WriteButton() { return *write_; }
    QPushButton& OpenButton() { return *open_; }
    QPushButton& SaveButton() { return *save_; }
    std::u16string ContentText() const;
    const std::u16string& Reference() const { return reference_; }
    const mtp::ChangedBytes& Changed() const { return changed_; }
    const std::string& WriterText() const { return writer_; }
    const std::string& SaveTemplate() const { return saveTemplate_; }
    const std::u16string& HexFilePath() const { return hexPath_; }
    MtpEngine& Engine() { return engine_; }

  private:
    void BuildControls();
    void OnEditChange();
    void ReadContent();
    bool LoadContentFromHexText();
    mtp::PatchError Patch();
    void SetContent(const std::u16string& text, int caret = 0);
    void ApplyFormats();
    void ResetFormats();
    void ClearHexFile();
    void ShowPath(const std::u16string& path);
    void UpdateControls();
    void WarnNotConnected();

    Ports ports_;
    MtpEngine engine_;
    std::string writer_;
    std::string saveTemplate_ = mtp::kInitialSaveTemplate;
    std::u16string hexPath_;
    std::string hexText_;
    std::u16string reference_;
    mtp::ChangedBytes changed_{};
    int bConnected_ = 0;
    bool suppress_ = false;
    int gateListener_ = 0;

    QLineEdit* path_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* write_ = nullptr;
    QTextEdit* content_ = nullptr;
};

}  // namespace cindral
