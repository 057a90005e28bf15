// The main window: adapter selection, Connect/Disconnect, "System Reset/Reboot" and
// the five pages in the tab frame.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QMenuBar>
#include <QPushButton>
#include <functional>
#include <string>

#include "burn/crc_page.h"
#include "burn/device_page.h"
#include "burn/direct_burn_page.h"
#include "burn/mtp_page.h"
#include "compose/main_page.h"
#include "core/connection.h"
#include "core/ordwin_api.h"
#include "core/ports.h"
#include "shell/dlg_tab_ctrl.h"

namespace cindral {

// Combo box that tells when its list drops down or closes up.
class AdapterComboBox : public QComboBox {
    Q_OBJECT
  public:
    using QComboBox::QComboBox;
    void showPopup() override;
    void hidePopup() override;

  signals:
    void droppedDown();
    void closedUp();
};

class CZeltra_NVM_BurnerDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 102;
    enum Tab { kTabMain = 0, kTabDirectBurn = 1, kTabMtp = 2, kTabDevice = 3, kTabCrc = 4 };

    CZeltra_NVM_BurnerDlg(IOrdwin& ordwin, Ports ports, QWidget* parent = nullptr);
    ~CZeltra_NVM_BurnerDlg() override;

    void RefreshAdapterList();
    bool ReadSelectedAdapter();
    void ToggleConnection();

    void OnConnect();
    void OnSystemReset();
    void OnAbout();
    void OnExit();

    // File menu: settings files of the Main and Direct Burn pages.
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    void SaveSettings(const std::u16string& path);
    void LoadSettings(const std::u16string& path);
    const std::u16string& SettingsPath() const { return m_settingsPath; }

    int Connected() const { return m_bConnected; }
    const char* SelectedSerial() const { return m_serial; }

    AdapterComboBox& AdapterCombo() { return m_adapterCombo; }
    CDlgTabCtrl& TabFrame() { return m_tabs; }
    CMainDlg& MainPage() { return m_mainPage; }
    CDirectBurnDlg& DirectBurnPage() { return m_directBurnPage; }
    CBurnEPROMDlg& MtpPage() { return m_mtpPage; }
    CDeviceInformation& DevicePage() { return m_devicePage; }
    CRunCRCDlg& CrcPage() { return m_crcPage; }
    QPushButton& ConnectButton() { return *m_connectButton; }
    QPushButton& ResetButton() { return *m_resetButton; }
    QMenuBar& MenuBar() { return *m_menuBar; }

  signals:
    // The adapter was connected (true) or disconnected (false); the pages that
    // follow the connection hook this instead of being called one by one.
    void connectionChanged(bool connected);

  public:
    // How modal child dialogs (About) are run; tests replace it.
    void SetModalRunner(std::function<int(QDialog&)> runner) { m_runModal = std::move(runner); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void InitDialog();
    void ConnectPages();
    void BuildMenu();
    void OnTabChanging(int oldIndex);
    void DisconnectOnLeaving();

    IOrdwin& m_ordwin;
    Ports m_ports;
    AdapterConnection m_connection;
    // Members in the order the window declares them; the pages outlive the tab frame.
    AdapterComboBox m_adapterCombo;
    CMainDlg m_mainPage;
    CDirectBurnDlg m_directBurnPage;
    CBurnEPROMDlg m_mtpPage;
    CDeviceInformation m_devicePage;
    CRunCRCDlg m_crcPage;
    CDlgTabCtrl m_tabs;
    int m_adapterCount = 0;
    char m_serial[kSerialBufferSize] = {};
    int m_bConnected = 0;
    std::u16string m_settingsPath;
    QPushButton* m_connectButton = nullptr;
    QPushButton* m_resetButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QMenuBar* m_menuBar = nullptr;
    bool m_leaving = false;
    int m_gateListener = 0;
    std::function<int(QDialog&)> m_runModal;
};

}  // namespace cindral
