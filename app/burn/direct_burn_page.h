// The Direct Burn tab: small, explicitly addressed data from a direct burn file
// or typed text, composed into an NVM burn file and burned.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <string>

#include "compose/engine_host.h"
#include "core/nvm_engine.h"
#include "core/settings_archive.h"
#include "shell/my_button.h"
#include "shell/page_base.h"

namespace cindral {

class CDeviceInformation;

// Every CR and every LF becomes a space (a CR LF pair two spaces).
std::u16string ReplaceLineBreaks(std::u16string text);

class CDirectBurnDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 131;

    // An empty programDirectory means Cindral's own directory.
    CDirectBurnDlg(IOrdwin& ordwin, Ports ports, CDeviceInformation& device,
                   std::u16string programDirectory = {}, QWidget* parent = nullptr);
    ~CDirectBurnDlg() override;

    // The page keeps the flag; the engine checks the Device page's own.
    void SetConnected(int flag) { m_bConnected = flag; }
    int Connected() const { return m_bConnected; }

    // The page's part of a settings file; a stream error keeps what was read.
    void StoreDirectBurnSettings(SettingsWriter& out);
    void LoadDirectBurnSettings(SettingsReader& in);

    void OnOpenDirectBurnFile();
    void OnOpenNvmBurnFile();
    void OnNewNvmBurnFile();
    void OnCompose();
    void OnBurn();

    const std::u16string& DirectBurnFilePath() const { return m_directBurnFile; }
    const std::u16string& NvmBurnFilePath() const { return m_nvmBurnFile; }
    const std::u16string& DirectBurnText() const { return m_directText; }
    NvmEngine& Engine() { return m_engine; }

    QRadioButton& FileRadio() { return *m_fromFile; }
    QRadioButton& DirectRadio() { return *m_fromText; }
    QRadioButton& StrictRadio() { return *m_strict; }
    QRadioButton& LogicOrRadio() { return *m_logicOr; }
    QLineEdit& DirectBurnFileEdit() { return *m_directFileEdit; }
    QLineEdit& NvmBurnFileEdit() { return *m_nvmFileEdit; }
    QPlainTextEdit& TextEdit() { return *m_textEdit; }
    QCheckBox& OverwriteBox() { return *m_overwrite; }
    CMyButton& BurnButton() { return m_burnButton; }

  private:
    void BuildControls();
    void UpdateData(bool save);
    void FillEngine();
    void Warn(const char16_t* text);

    std::u16string m_directBurnFile;
    std::u16string m_nvmBurnFile;
    std::u16string m_directText;
    int m_bConnected = 0;
    DevicePageHost m_host;
    NvmEngine m_engine;

    Ports m_ports;
    CMyButton m_burnButton;
    QRadioButton* m_fromFile = nullptr;
    QRadioButton* m_fromText = nullptr;
    QRadioButton* m_strict = nullptr;
    QRadioButton* m_logicOr = nullptr;
    QLineEdit* m_directFileEdit = nullptr;
    QLineEdit* m_nvmFileEdit = nullptr;
    QPlainTextEdit* m_textEdit = nullptr;
    QCheckBox* m_overwrite = nullptr;
    int m_gateListener = 0;
};

}  // namespace cindral
