// The MTP Write tab: shows the Zeltra's 16 MTP bytes, edits them in place, loads
// and saves them as a hex file, and writes them with the patched writer program.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <string>

#include "core/mtp_content.h"
#include "core/mtp_engine.h"
#include "core/ports.h"
#include "shell/page_base.h"

namespace cindral {

class CBurnEPROMDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 137;

    CBurnEPROMDlg(IOrdwin& ordwin, Ports ports, QWidget* parent = nullptr);
    ~CBurnEPROMDlg() override;

    // Connection change from the main window; tab changes repeat the current state,
    // which changes nothing.
    void SetConnectionState(int flag);
    int Connected() const { return m_bConnected; }

    void OnRead();
    void OnWrite();
    void OnOpenHexFile();
    void OnSaveHexFile();

    QTextEdit& ContentBox() { return *m_content; }
    QLineEdit& PathBox() { return *m_path; }
    QPushButton& ReadButton() { return *m_read; }
    QPushButton& WriteButton() { return *m_write; }
    QPushButton& OpenButton() { return *m_open; }
    QPushButton& SaveButton() { return *m_save; }
    std::u16string ContentText() const;
    const std::u16string& Reference() const { return m_reference; }
    const mtp::ChangedBytes& Changed() const { return m_changed; }
    const std::string& WriterText() const { return m_writer; }
    const std::string& SaveTemplate() const { return m_saveTemplate; }
    const std::u16string& HexFilePath() const { return m_hexPath; }
    MtpEngine& Engine() { return m_engine; }

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

    Ports m_ports;
    MtpEngine m_engine;
    std::string m_writer;
    std::string m_saveTemplate = mtp::kInitialSaveTemplate;
    std::u16string m_hexPath;
    std::string m_hexText;
    std::u16string m_reference;
    mtp::ChangedBytes m_changed{};
    int m_bConnected = 0;
    bool m_suppress = false;
    int m_gateListener = 0;

    QLineEdit* m_path = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_read = nullptr;
    QPushButton* m_write = nullptr;
    QTextEdit* m_content = nullptr;
};

}  // namespace cindral
