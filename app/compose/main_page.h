// The Main tab: User Boot and User App files with their NVM addresses, boot
// options and compose mode, the NVM burn file, Compose and Burn, and the
// composer's report in the NVM map list.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compose/engine_host.h"
#include "core/burn_guard.h"
#include "core/command_line.h"
#include "core/compose_map.h"
#include "core/nvm_engine.h"
#include "core/operation_record.h"
#include "core/settings_archive.h"
#include "shell/control_ids.h"
#include "shell/list_ctrl_styled.h"
#include "shell/my_button.h"
#include "shell/page_base.h"

namespace cindral {

class CDeviceInformation;

class CMainDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = ids::main_page::kTemplate;
    static constexpr int kClearCommand = ids::main_page::kClearCommand;

    // An empty programDirectory means Cindral's own directory.
    CMainDlg(IOrdwin& ordwin, Ports ports, CDeviceInformation& device,
             std::u16string programDirectory = {}, QWidget* parent = nullptr);
    ~CMainDlg() override;

    void SetConnected(int flag);
    void SetBootStatus(uint8_t value);
    void SetFirstBootAddress(const std::u16string& text);

    // The page's part of a settings file. Loading appends the stored entries to
    // those listed; a stream error keeps what was read until then.
    void StoreMainSettings(SettingsWriter& out);
    void LoadMainSettings(SettingsReader& in);

    void ReadComposeMap(const std::u16string& path);
    void ReloadMap(const std::u16string& path);

    // Button handlers.
    void OnAddBootFile() { AddFile(true); }
    void OnAddAppFile() { AddFile(false); }
    void OnClearBootFiles() { ClearList(true); }
    void OnClearAppFiles() { ClearList(false); }
    void OnBootNvmAddress() { EditAddress(true); }
    void OnAppNvmAddress() { EditAddress(false); }
    void OnListContextMenu(bool bootList, const QPoint& globalPos);
    void OnClearListItem();
    void OnNewBurnFile();
    void OnOpenBurnFile();
    void OnBurnFileChanged();
    void OnCompose();
    void OnBurn();
    void OnUserClicked();
    void OnRunClicked();
    // The engine's fields from the controls, as Compose and Burn do first.
    void FillEngine();

    int Connected() const { return bConnected_; }
    uint8_t BootStatus() const { return bootStatus_; }
    const std::u16string& FirstBootAddress() const { return firstBootAddress_; }
    const std::vector<NVMData>& BootEntries() const { return bootEntries_; }
    const std::vector<NVMData>& AppEntries() const { return appEntries_; }
    const std::vector<NVMMap>& MapEntries() const { return mapEntries_; }
    int BootCount() const { return bootCount_; }
    int AppCount() const { return appCount_; }
    int MapCount() const { return mapCount_; }
    int ConflictFlag() const { return bConflict_; }
    int ErrorFlag() const { return bError_; }
    const std::u16string& BurnFilePath() const { return burnFilePath_; }
    NvmEngine& Engine() { return engine_; }
    // Set after a compose failed, until a compose succeeds or a burn file is opened.
    const ComposeFailureMark& ComposeFailure() const { return composeFailure_; }
    // Where a running burn shows its progress; none by default.
    void SetBurnProgress(IBurnProgress* progress) { progress_ = progress; }
    // The burn's clock, for its elapsed time; tests give their own.
    void SetBurnClock(BurnTally::Clock clock) { burnClock_ = std::move(clock); }

    CListCtrlStyled& BootList() { return bootList_; }
    CListCtrlStyled& AppList() { return appList_; }
    CListCtrlStyled& MapList() { return mapList_; }
    QCheckBox& Box(int id);
    QRadioButton& StrictRadio() { return *strict_; }
    QRadioButton& LogicOrRadio() { return *logicOr_; }
    QLineEdit& BurnFileEdit() { return *burnFileEdit_; }
    CMyButton& BurnButton() { return burnButton_; }

    // How the NVM address dialog and the context menu run; tests replace them.
    void SetModalRunner(std::function<int(QDialog&)> runner) { runModal_ = std::move(runner); }
    void SetMenuRunner(std::function<QAction*(QMenu&, const QPoint&)> runner) {
        runMenu_ = std::move(runner);
    }

  private:
    void BuildControls();
    void AddFile(bool boot);
    void AppendEntry(bool boot, NVMData entry);
    void ClearList(bool boot);
    void EditAddress(bool boot);
    void UpdateData(bool save);
    bool RefuseSpaces(const std::u16string& path);
    void SetBox(int id, bool checked, bool enabled);
    // Makes a relative burn file name absolute and shows it; false when refused.
    bool SettleBurnFilePath();
    void ClearMap();
    static int SelectionMark(CListCtrlStyled& list);

    // Members in the order the page declares them.
    CListCtrlStyled bootList_;
    CListCtrlStyled appList_;
    CListCtrlStyled mapList_;
    CMyButton burnButton_;
    std::u16string firstBootAddress_ = u"0";
    uint8_t bootStatus_ = 0;
    int bConnected_ = 0;
    int bBootMenu_ = 0;
    int bAppMenu_ = 0;
    int bootCount_ = 0;
    int appCount_ = 0;
    int mapCount_ = 0;
    std::vector<NVMData> bootEntries_;
    std::vector<NVMData> appEntries_;
    std::vector<NVMMap> mapEntries_;
    int bConflict_ = 0;
    int bError_ = 0;
    std::u16string burnFilePath_;
    QCheckBox* overwrite_ = nullptr;
    // The engine's boxes pass through here, so the log can say how a burn ended.
    RecordingMessagePort recorder_;
    DevicePageHost host_;
    NvmEngine engine_;
    ComposeFailureMark composeFailure_;
    IBurnProgress* progress_ = nullptr;
    BurnTally::Clock burnClock_ = [] { return std::chrono::steady_clock::now(); };

    Ports ports_;
    QCheckBox* boxes_[8] = {};  // 1023 .. 1030
    QRadioButton* strict_ = nullptr;
    QRadioButton* logicOr_ = nullptr;
    QLineEdit* burnFileEdit_ = nullptr;
    QMenu contextMenu_;
    QAction* clearAction_ = nullptr;
    int gateListener_ = 0;
    std::function<int(QDialog&)> runModal_;
    std::function<QAction*(QMenu&, const QPoint&)> runMenu_;
};

}  // namespace cindral
