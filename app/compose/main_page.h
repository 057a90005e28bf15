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
#include "core/command_line.h"
#include "core/compose_map.h"
#include "core/nvm_engine.h"
#include "core/settings_archive.h"
#include "shell/list_ctrl_styled.h"
#include "shell/my_button.h"
#include "shell/page_base.h"

namespace cindral {

class CDeviceInformation;

class CMainDlg : public CPageDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 130;
    static constexpr int kClearCommand = 32775;

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

    int Connected() const { return m_bConnected; }
    uint8_t BootStatus() const { return m_bootStatus; }
    const std::u16string& FirstBootAddress() const { return m_firstBootAddress; }
    const std::vector<NVMData>& BootEntries() const { return m_bootEntries; }
    const std::vector<NVMData>& AppEntries() const { return m_appEntries; }
    const std::vector<NVMMap>& MapEntries() const { return m_mapEntries; }
    int BootCount() const { return m_bootCount; }
    int AppCount() const { return m_appCount; }
    int MapCount() const { return m_mapCount; }
    int ConflictFlag() const { return m_bConflict; }
    int ErrorFlag() const { return m_bError; }
    const std::u16string& BurnFilePath() const { return m_burnFilePath; }
    NvmEngine& Engine() { return m_engine; }

    CListCtrlStyled& BootList() { return m_bootList; }
    CListCtrlStyled& AppList() { return m_appList; }
    CListCtrlStyled& MapList() { return m_mapList; }
    QCheckBox& Box(int id);
    QRadioButton& StrictRadio() { return *m_strict; }
    QRadioButton& LogicOrRadio() { return *m_logicOr; }
    QLineEdit& BurnFileEdit() { return *m_burnFileEdit; }
    CMyButton& BurnButton() { return m_burnButton; }

    // How the NVM address dialog and the context menu run; tests replace them.
    void SetModalRunner(std::function<int(QDialog&)> runner) { m_runModal = std::move(runner); }
    void SetMenuRunner(std::function<QAction*(QMenu&, const QPoint&)> runner) {
        m_runMenu = std::move(runner);
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
    static int SelectionMark(CListCtrlStyled& list);

    // Members in the order the page declares them.
    CListCtrlStyled m_bootList;
    CListCtrlStyled m_appList;
    CListCtrlStyled m_mapList;
    CMyButton m_burnButton;
    std::u16string m_firstBootAddress = u"0";
    uint8_t m_bootStatus = 0;
    int m_bConnected = 0;
    int m_bBootMenu = 0;
    int m_bAppMenu = 0;
    int m_bootCount = 0;
    int m_appCount = 0;
    int m_mapCount = 0;
    std::vector<NVMData> m_bootEntries;
    std::vector<NVMData> m_appEntries;
    std::vector<NVMMap> m_mapEntries;
    int m_bConflict = 0;
    int m_bError = 0;
    std::u16string m_burnFilePath;
    QCheckBox* m_overwrite = nullptr;
    DevicePageHost m_host;
    NvmEngine m_engine;

    Ports m_ports;
    QCheckBox* m_boxes[8] = {};  // 1023 .. 1030
    QRadioButton* m_strict = nullptr;
    QRadioButton* m_logicOr = nullptr;
    QLineEdit* m_burnFileEdit = nullptr;
    QMenu m_contextMenu;
    QAction* m_clearAction = nullptr;
    int m_gateListener = 0;
    std::function<int(QDialog&)> m_runModal;
    std::function<QAction*(QMenu&, const QPoint&)> m_runMenu;
};

}  // namespace cindral
