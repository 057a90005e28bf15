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
#include "shell/burn_progress.h"
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
    static constexpr int kTemplate = ids::main_window::kTemplate;
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
    const std::u16string& SettingsPath() const { return settingsPath_; }

    int Connected() const { return bConnected_; }
    const char* SelectedSerial() const { return serial_; }

    AdapterComboBox& AdapterCombo() { return adapterCombo_; }
    CDlgTabCtrl& TabFrame() { return tabs_; }
    CMainDlg& MainPage() { return mainPage_; }
    CDirectBurnDlg& DirectBurnPage() { return directBurnPage_; }
    CBurnEPROMDlg& MtpPage() { return mtpPage_; }
    CDeviceInformation& DevicePage() { return devicePage_; }
    CRunCRCDlg& CrcPage() { return crcPage_; }
    QPushButton& ConnectButton() { return *connectButton_; }
    QPushButton& ResetButton() { return *resetButton_; }
    QMenuBar& MenuBar() { return *menuBar_; }
    CBurnProgress& BurnProgress() { return *burnProgress_; }
    // The adapter that was lost while connected and is not back yet; it stays
    // selected (shown as missing) so that Connect never reaches another chip.
    const QString& MissingSerial() const { return missingSerial_; }
    // Where the library's message boxes go too, so that a lost adapter is told once.
    IMessagePort& Messages() { return lossFilter_; }

  signals:
    // The adapter was connected (true) or disconnected (false); the pages that
    // follow the connection hook this instead of being called one by one.
    void connectionChanged(bool connected);

  public:
    // How modal child dialogs (About) are run; tests replace it.
    void SetModalRunner(std::function<int(QDialog&)> runner) { runModal_ = std::move(runner); }

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
    bool AdapterListed();
    void CheckAdapterLater();
    bool HandleAdapterLoss();
    void ShowConnectionState();
    void KeepLostAdapterSelected();
    void SystemReset();
    // Runs a connect or disconnect once per click: clicks that arrive while it
    // runs (a double click) are taken and dropped before the buttons take input again.
    void RunConnectStep(const std::function<void()>& step);

    IOrdwin& ordwin_;
    AdapterLossFilter lossFilter_;
    Ports ports_;
    AdapterConnection connection_;
    LostDuring lostDuring_ = LostDuring::kNothing;
    bool checkPosted_ = false;
    bool toldLost_ = false;
    // Members in the order the window declares them; the pages outlive the tab frame.
    AdapterComboBox adapterCombo_;
    CMainDlg mainPage_;
    CDirectBurnDlg directBurnPage_;
    CBurnEPROMDlg mtpPage_;
    CDeviceInformation devicePage_;
    CRunCRCDlg crcPage_;
    CDlgTabCtrl tabs_;
    int adapterCount_ = 0;
    char serial_[kSerialBufferSize] = {};
    int bConnected_ = 0;
    std::u16string settingsPath_;
    QPushButton* connectButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    CBurnProgress* burnProgress_ = nullptr;
    QString missingSerial_;
    bool connectStepRunning_ = false;
    bool leaving_ = false;
    int gateListener_ = 0;
    std::function<int(QDialog&)> runModal_;
};

}  // namespace cindral
