// The Direct Burn tab: small, explicitly addressed data from a direct burn file
// or typed text, composed into an NVM burn file and burned.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <string>

#include "compose/engine_host.h"
#include "core/burn_guard.h"
#include "core/nvm_engine.h"
#include "core/operation_record.h"
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
    static constexpr int kTemplate = ids::direct_burn::kTemplate;

    // An empty programDirectory means Cindral's own directory.
    CDirectBurnDlg(IOrdwin& ordwin, Ports ports, CDeviceInformation& device,
                   std::u16string programDirectory = {}, QWidget* parent = nullptr);
    ~CDirectBurnDlg() override;

    // The page keeps the flag; the engine checks the Device page's own.
    void SetConnected(int flag) { bConnected_ = flag; }
    int Connected() const { return bConnected_; }

    // The page's part of a settings file; a stream error keeps what was read.
    void StoreDirectBurnSettings(SettingsWriter& out);
    void LoadDirectBurnSettings(SettingsReader& in);

    void OnOpenDirectBurnFile();
    void OnOpenNvmBurnFile();
    void OnNewNvmBurnFile();
    void OnCompose();
    void OnBurn();

    const std::u16string& DirectBurnFilePath() const { return directBurnFile_; }
    const std::u16string& NvmBurnFilePath() const { return nvmBurnFile_; }
    const std::u16string& DirectBurnText() const { return directText_; }
    NvmEngine& Engine() { return engine_; }
    const ComposeFailureMark& ComposeFailure() const { return composeFailure_; }
    void SetBurnProgress(IBurnProgress* progress) { progress_ = progress; }
    void SetBurnClock(BurnTally::Clock clock) { burnClock_ = std::move(clock); }

    QRadioButton& FileRadio() { return *fromFile_; }
    QRadioButton& DirectRadio() { return *fromText_; }
    QRadioButton& StrictRadio() { return *strict_; }
    QRadioButton& LogicOrRadio() { return *logicOr_; }
    QLineEdit& DirectBurnFileEdit() { return *directFileEdit_; }
    QLineEdit& NvmBurnFileEdit() { return *nvmFileEdit_; }
    QPlainTextEdit& TextEdit() { return *textEdit_; }
    QCheckBox& OverwriteBox() { return *overwrite_; }
    CMyButton& BurnButton() { return burnButton_; }

  private:
    void BuildControls();
    void UpdateData(bool save);
    void FillEngine();
    void Warn(const char16_t* text);
    // A relative NVM burn file name made absolute and shown; false when refused.
    bool SettlePaths();

    std::u16string directBurnFile_;
    std::u16string nvmBurnFile_;
    std::u16string directText_;
    int bConnected_ = 0;
    RecordingMessagePort recorder_;
    DevicePageHost host_;
    NvmEngine engine_;
    ComposeFailureMark composeFailure_;
    IBurnProgress* progress_ = nullptr;
    BurnTally::Clock burnClock_ = [] { return std::chrono::steady_clock::now(); };

    Ports ports_;
    CMyButton burnButton_;
    QRadioButton* fromFile_ = nullptr;
    QRadioButton* fromText_ = nullptr;
    QRadioButton* strict_ = nullptr;
    QRadioButton* logicOr_ = nullptr;
    QLineEdit* directFileEdit_ = nullptr;
    QLineEdit* nvmFileEdit_ = nullptr;
    QPlainTextEdit* textEdit_ = nullptr;
    QCheckBox* overwrite_ = nullptr;
    int gateListener_ = 0;
};

}  // namespace cindral
