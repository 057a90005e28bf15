#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "core/operation_gate.h"
#include "core/settings_archive.h"
#include "core/text.h"
#include "resources/app_icon.h"
#include "shell/about_dlg.h"
#include "shell/page_base.h"
#include "shell/qt_text.h"

namespace cindral {

namespace ctl = ids::main_window;

void AdapterComboBox::showPopup() {
    emit droppedDown();
    QComboBox::showPopup();
}

void AdapterComboBox::hidePopup() {
    QComboBox::hidePopup();
    emit closedUp();
}

CZeltra_NVM_BurnerDlg::CZeltra_NVM_BurnerDlg(IOrdwin& ordwin, Ports ports, QWidget* parent)
    : QDialog(parent),
      ordwin_(ordwin),
      lossFilter_(
          ports.messages, [this] { return AdapterListed(); },
          [this] {
              // Read now: a burn or MTP write holds the gate until it ends.
              switch (OperationGate::Shared().Running()) {
                  case OperationGate::Work::kBurn:
                      lostDuring_ = LostDuring::kBurn;
                      break;
                  case OperationGate::Work::kMtpWrite:
                      lostDuring_ = LostDuring::kMtpWrite;
                      break;
                  case OperationGate::Work::kOther:
                      lostDuring_ = LostDuring::kNothing;
                      break;
              }
              CheckAdapterLater();
          }),
      ports_{lossFilter_, ports.files, ports.sleep, ports.pump},
      connection_(ordwin, lossFilter_),
      mainPage_(ordwin, ports_, devicePage_),
      directBurnPage_(ordwin, ports_, devicePage_),
      mtpPage_(ordwin, ports_),
      devicePage_(ordwin, lossFilter_),
      crcPage_(ordwin, lossFilter_),
      runModal_([](QDialog& d) { return d.exec(); }) {
    InitDialog();
}

CZeltra_NVM_BurnerDlg::~CZeltra_NVM_BurnerDlg() {
    OperationGate::Shared().RemoveListener(gateListener_);
}

void CZeltra_NVM_BurnerDlg::InitDialog() {
    SetControlId(*this, kTemplate);
    setWindowTitle(QStringLiteral("Cindral"));
    setWindowIcon(AppIcon());
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);

    auto* layout = new QVBoxLayout(this);
    BuildMenu();
    layout->setMenuBar(menuBar_);

    auto* group = new QGroupBox(QStringLiteral("Device Selection"));
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("USB Adapter")));
    SetControlId(adapterCombo_, ctl::kAdapterCombo);
    adapterCombo_.setEditable(true);
    adapterCombo_.setInsertPolicy(QComboBox::NoInsert);
    adapterCombo_.setMinimumContentsLength(16);
    row->addWidget(&adapterCombo_, 1);
    connectButton_ = new QPushButton(QStringLiteral("Connect"));
    SetControlId(*connectButton_, ctl::kConnectButton);
    connectButton_->setAutoDefault(false);
    row->addWidget(connectButton_);
    resetButton_ = new QPushButton(QStringLiteral("System Reset/Reboot"));
    SetControlId(*resetButton_, ctl::kResetButton);
    resetButton_->setAutoDefault(false);
    row->addWidget(resetButton_);
    layout->addWidget(group);

    SetControlId(tabs_, ctl::kTabFrame);
    layout->addWidget(&tabs_, 1);

    auto* bottom = new QHBoxLayout;
    burnProgress_ = new CBurnProgress;
    bottom->addWidget(burnProgress_, 1);
    bottom->addStretch(0);
    exitButton_ = new QPushButton(QStringLiteral("Exit"));
    SetControlId(*exitButton_, ctl::kExitButton);
    exitButton_->setDefault(true);
    bottom->addWidget(exitButton_);
    layout->addLayout(bottom);

    tabs_.AddPage(kTabMain, QStringLiteral("Main"), CMainDlg::kTemplate, &mainPage_);
    tabs_.AddPage(kTabDirectBurn, QStringLiteral("Direct Burn"), CDirectBurnDlg::kTemplate,
                  &directBurnPage_);
    tabs_.AddPage(kTabMtp, QStringLiteral("MTP Write"), CBurnEPROMDlg::kTemplate, &mtpPage_);
    tabs_.AddPage(kTabDevice, QStringLiteral("Device"), CDeviceInformation::kTemplate,
                  &devicePage_);
    tabs_.AddPage(kTabCrc, QStringLiteral("CRC"), CRunCRCDlg::kTemplate, &crcPage_);
    tabs_.setCurrentIndex(kTabMain);

    connect(connectButton_, &QPushButton::clicked, this, &CZeltra_NVM_BurnerDlg::OnConnect);
    connect(resetButton_, &QPushButton::clicked, this, &CZeltra_NVM_BurnerDlg::OnSystemReset);
    connect(exitButton_, &QPushButton::clicked, this, &CZeltra_NVM_BurnerDlg::OnExit);
    connect(&adapterCombo_, &AdapterComboBox::droppedDown, this,
            &CZeltra_NVM_BurnerDlg::RefreshAdapterList);
    // Queued: a click in the list selects its item only after the list has closed,
    // and the refresh must see that selection.
    connect(&adapterCombo_, &AdapterComboBox::closedUp, this,
            &CZeltra_NVM_BurnerDlg::RefreshAdapterList, Qt::QueuedConnection);
    connect(&tabs_, &CDlgTabCtrl::selectionChanging, this,
            [this](int oldIndex, int) { OnTabChanging(oldIndex); });
    ConnectPages();
    mainPage_.SetBurnProgress(burnProgress_);
    directBurnPage_.SetBurnProgress(burnProgress_);
    // Every check and write of a chip ends with a line in the log.
    crcPage_.onRunEnded = [this](const std::u16string& outcome, bool ok) {
        devicePage_.WriteOutputLine(
            OperationEndLine(u"CRC check", devicePage_.AdapterSerial(), u"", u"", outcome));
        // A failed call may be a gone adapter; the CRC page shows no box that would tell.
        if (!ok && bConnected_ == 1) CheckAdapterLater();
    };
    mtpPage_.onWriteEnded = [this](const std::u16string& outcome) {
        devicePage_.WriteOutputLine(
            OperationEndLine(u"MTP Write", devicePage_.AdapterSerial(), u"", u"", outcome));
    };
    connect(&adapterCombo_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        // The operator chose an adapter: the lost one is no longer held for them.
        if (index >= 0 && adapterCombo_.itemData(index).toString() != missingSerial_)
            missingSerial_.clear();
    });

    // While a compose, burn or MTP write runs nothing else may start, and the
    // window shows that it is busy.
    gateListener_ = OperationGate::Shared().AddListener([this](bool busy) {
        connectButton_->setEnabled(!busy);
        resetButton_->setEnabled(!busy && bConnected_ == 1);
        exitButton_->setEnabled(!busy);
        adapterCombo_.setEnabled(!busy);
        for (QAction* action : fileMenu_->actions()) action->setEnabled(!busy);
        mtpPage_.setEnabled(!busy);
        crcPage_.setEnabled(!busy);
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
            // A burn or MTP write may have failed silently on a gone adapter.
            if (bConnected_ == 1) CheckAdapterLater();
        }
    });

    bConnected_ = 0;
    resetButton_->setEnabled(false);
    RefreshAdapterList();
    std::memset(serial_, 0, sizeof serial_);
    FitButtonsToCaptions(*this);
    FitButtonToCaptions(*connectButton_, {QStringLiteral("Connect"), QStringLiteral("Disconnect")});
    // Never larger than the screen's free room, title bar included: at a large
    // scale the pages scroll instead.
    QSize size(760, 620);
    if (QScreen* shown = screen()) {
        const QSize room = shown->availableGeometry().size() - QSize(16, 48);
        size = size.boundedTo(room).expandedTo(minimumSizeHint());
    }
    resize(size);
}

void CZeltra_NVM_BurnerDlg::BuildMenu() {
    menuBar_ = new QMenuBar(this);
    SetControlId(*menuBar_, ctl::kMenu);
    QMenu* file = menuBar_->addMenu(QStringLiteral("File"));
    fileMenu_ = file;
    auto add = [](QMenu* menu, const QString& text, int id) {
        QAction* a = menu->addAction(text);
        SetControlId(*a, id);
        return a;
    };
    QAction* open = add(file, QStringLiteral("&Open..."), ctl::kFileOpen);
    connect(open, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnFileOpen);
    file->addSeparator();
    QAction* save = add(file, QStringLiteral("&Save"), ctl::kFileSave);
    connect(save, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnFileSave);
    QAction* saveAs = add(file, QStringLiteral("Save &As..."), ctl::kFileSaveAs);
    connect(saveAs, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnFileSaveAs);
    file->addSeparator();
    QAction* exit = add(file, QStringLiteral("E&xit"), ctl::kFileExit);
    connect(exit, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnExit);
    QMenu* help = menuBar_->addMenu(QStringLiteral("&Help"));
    QAction* about = add(help, QStringLiteral("&About..."), ctl::kHelpAbout);
    connect(about, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnAbout);
}

namespace {
FileDialogRequest SettingsDialog() {
    FileDialogRequest r;
    r.filter = u"NVM Burner Settings (*.set)|*.set|All Files (*.*)|*.*||";
    r.defaultExtension = u"set";
    return r;
}
}  // namespace

void CZeltra_NVM_BurnerDlg::OnFileOpen() {
    // Loading rewrites the pages, which a running compose or burn still reads.
    if (OperationGate::Shared().Busy()) return;
    FileDialogRequest r = SettingsDialog();
    r.mustExist = true;
    if (auto path = ports_.files.OpenFile(r)) LoadSettings(*path);
}

void CZeltra_NVM_BurnerDlg::OnFileSave() {
    if (settingsPath_.empty()) {
        OnFileSaveAs();
        return;
    }
    SaveSettings(settingsPath_);
}

void CZeltra_NVM_BurnerDlg::OnFileSaveAs() {
    FileDialogRequest r = SettingsDialog();
    r.proposedName = u"Presets";
    r.confirmOverwrite = true;
    auto path = ports_.files.SaveFile(r);
    if (!path) return;
    settingsPath_ = *path;
    SaveSettings(settingsPath_);
}

void CZeltra_NVM_BurnerDlg::SaveSettings(const std::u16string& path) {
    SettingsWriter out;
    mainPage_.StoreMainSettings(out);
    directBurnPage_.StoreDirectBurnSettings(out);
    std::string why;
    if (!out.SaveTo(path, &why)) {
        ports_.messages.Ok(u"The settings could not be saved to " + path + u":\n" + WidenText(why));
    }
}

void CZeltra_NVM_BurnerDlg::LoadSettings(const std::u16string& path) {
    std::optional<SettingsReader> in = SettingsReader::Open(path);
    if (!in) return;
    // Each page applies what it could read; a short or foreign file stops the
    // reading, not the program.
    mainPage_.LoadMainSettings(*in);
    directBurnPage_.LoadDirectBurnSettings(*in);
}

namespace {
QString MissingText(const QString& serial) {
    return serial + QStringLiteral(" (missing)");
}
}  // namespace

void CZeltra_NVM_BurnerDlg::RefreshAdapterList() {
    QString remembered;
    bool hadSelection = adapterCombo_.currentIndex() >= 0;
    if (hadSelection) remembered = adapterCombo_.itemText(adapterCombo_.currentIndex());
    adapterCombo_.clear();
    QStringList serials;
    for (const std::string& sn : connection_.ListAdapters()) serials << ToQ(sn);
    adapterCount_ = static_cast<int>(serials.size());
    // The lost adapter is back: it is the one to connect again.
    if (!missingSerial_.isEmpty() && serials.contains(missingSerial_)) {
        remembered = missingSerial_;
        hadSelection = true;
        missingSerial_.clear();
    }
    if (!missingSerial_.isEmpty()) {
        serials << MissingText(missingSerial_);
        remembered = MissingText(missingSerial_);
        hadSelection = true;
    }
    serials.sort();
    adapterCombo_.addItems(serials);
    for (int i = 0; i < adapterCombo_.count(); ++i)
        adapterCombo_.setItemData(i, adapterCombo_.itemText(i) == MissingText(missingSerial_)
                                         ? missingSerial_
                                         : adapterCombo_.itemText(i));
    int index = hadSelection ? serials.indexOf(remembered) : -1;
    if (index < 0 && !serials.isEmpty()) index = 0;
    adapterCombo_.setCurrentIndex(index);
}

void CZeltra_NVM_BurnerDlg::KeepLostAdapterSelected() {
    missingSerial_ = ToQ(std::string(serial_));
    RefreshAdapterList();
}

bool CZeltra_NVM_BurnerDlg::ReadSelectedAdapter() {
    int index = adapterCombo_.currentIndex();
    // Text typed into the edit field that names no listed adapter is no selection.
    if (index < 0 || adapterCombo_.itemText(index) != adapterCombo_.currentText()) {
        ports_.messages.Ok(
            u"Please select an Adapter from the list! If the list is empty then no USB Debug "
            u"Adapter is detected.");
        return false;
    }
    if (!missingSerial_.isEmpty() && adapterCombo_.itemText(index) == MissingText(missingSerial_)) {
        ports_.messages.Ok(u"The adapter " + FromQ(missingSerial_) +
                               u" is missing. Plug it in again, or choose another adapter "
                               u"from the list.",
                           MsgIcon::Exclamation);
        return false;
    }
    std::string narrow = NarrowText(FromQ(adapterCombo_.itemText(index)), sizeof serial_);
    std::memset(serial_, 0, sizeof serial_);
    std::memcpy(serial_, narrow.data(), narrow.size());
    return true;
}

void CZeltra_NVM_BurnerDlg::ToggleConnection() {
    if (bConnected_ == 1) {
        // A library that already let go of the adapter (it dropped a lost target)
        // cannot disconnect it again; the window follows instead of staying stuck.
        bool letGo = false;
        const bool done = connection_.Disconnect(&letGo);
        if ((!done || letGo) && HandleAdapterLoss()) return;
        if (!done) return;
        bConnected_ = 0;
        lossFilter_.Watch(false);
        emit connectionChanged(false);
        return;
    }
    if (!ReadSelectedAdapter()) return;
    const int shown = lossFilter_.Passed();
    if (!connection_.Connect(serial_, [&] { return lossFilter_.Passed() != shown; })) return;
    bConnected_ = 1;
    lossFilter_.Reset();
    lossFilter_.Watch(true);
    emit connectionChanged(true);
}

bool CZeltra_NVM_BurnerDlg::AdapterListed() {
    for (const std::string& sn : connection_.ListAdapters())
        if (sn == serial_) return true;
    return false;
}

void CZeltra_NVM_BurnerDlg::CheckAdapterLater() {
    // Queued: the pages and the library are still inside the failing call.
    if (checkPosted_) return;
    checkPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            checkPosted_ = false;
            // The operation that is still running ends first; the gate calls again.
            if (!OperationGate::Shared().Busy()) HandleAdapterLoss();
        },
        Qt::QueuedConnection);
}

bool CZeltra_NVM_BurnerDlg::HandleAdapterLoss() {
    if (bConnected_ != 1 || !lossFilter_.CheckLost()) return false;
    // Let the library close its side; the adapter is gone, so its answer says nothing.
    ordwin_.DisconnectUSB();
    bConnected_ = 0;
    lossFilter_.Watch(false);
    emit connectionChanged(false);
    ShowConnectionState();
    KeepLostAdapterSelected();
    const LostDuring what = lostDuring_;
    lostDuring_ = LostDuring::kNothing;
    lossFilter_.Reset();
    toldLost_ = true;
    lossFilter_.Inner().Ok(AdapterLostText(what), MsgIcon::Exclamation);
    return true;
}

void CZeltra_NVM_BurnerDlg::ShowConnectionState() {
    connectButton_->setText(bConnected_ ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    resetButton_->setEnabled(bConnected_ == 1);
}

void CZeltra_NVM_BurnerDlg::ConnectPages() {
    // Slots run in the order they are connected: Main, CRC, Device, MTP Write.
    // The Direct Burn page learns the state at the next tab change.
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &mainPage_,
            [this](bool on) { mainPage_.SetConnected(on ? 1 : 0); });
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &crcPage_,
            [this](bool on) { crcPage_.SetConnected(on ? 1 : 0); });
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &devicePage_, [this](bool on) {
        devicePage_.SetConnected(on ? 1 : 0);
        devicePage_.SetAdapterSerial(on ? WidenText(serial_) : std::u16string());
        if (!on) devicePage_.ClearDevice();
    });
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &mtpPage_,
            [this](bool on) { mtpPage_.SetConnectionState(on ? 1 : 0); });
}

void CZeltra_NVM_BurnerDlg::RunConnectStep(const std::function<void()>& step) {
    if (connectStepRunning_) return;
    connectStepRunning_ = true;
    connectButton_->setEnabled(false);
    resetButton_->setEnabled(false);
    step();
    // Clicks queued while the step ran reach the handlers now and are dropped there.
    QApplication::processEvents();
    connectStepRunning_ = false;
    const bool busy = OperationGate::Shared().Busy();
    connectButton_->setEnabled(!busy);
    resetButton_->setEnabled(!busy && bConnected_ == 1);
}

void CZeltra_NVM_BurnerDlg::OnConnect() {
    if (OperationGate::Shared().Busy()) return;
    RunConnectStep([this] {
        ToggleConnection();
        ShowConnectionState();
        if (bConnected_ == 1) {
            devicePage_.ReadDevice();
            mainPage_.SetBootStatus(devicePage_.ProtectionByte());
            mainPage_.SetFirstBootAddress(devicePage_.NvmUserStartText());
        }
    });
}

void CZeltra_NVM_BurnerDlg::OnSystemReset() {
    if (OperationGate::Shared().Busy()) return;
    RunConnectStep([this] { SystemReset(); });
}

void CZeltra_NVM_BurnerDlg::SystemReset() {
    if (bConnected_ == 1) {
        toldLost_ = false;
        ToggleConnection();
        // Still connected: the disconnect failed and was told. Lost: told, nothing to reconnect.
        if (bConnected_ == 1 || toldLost_) {
            ShowConnectionState();
            return;
        }
    }
    // An adapter that goes while the window reconnects to it is lost as well:
    // the operator reads that once, not the library's connect failures.
    lossFilter_.Reset();
    lossFilter_.Watch(true);
    ToggleConnection();
    if (bConnected_ != 1) {
        const bool lost = lossFilter_.CheckLost();
        lossFilter_.Watch(false);
        lossFilter_.Reset();
        lostDuring_ = LostDuring::kNothing;
        if (lost) {
            ShowConnectionState();
            KeepLostAdapterSelected();
            toldLost_ = true;
            lossFilter_.Inner().Ok(AdapterLostText(LostDuring::kNothing), MsgIcon::Exclamation);
            return;
        }
    }
    // The caption follows the state, also after a reconnect that failed.
    ShowConnectionState();
    devicePage_.ReadDevice();
}

void CZeltra_NVM_BurnerDlg::OnTabChanging(int oldIndex) {
    const int flag = devicePage_.Connected();
    mainPage_.SetBootStatus(devicePage_.ProtectionByte());
    mainPage_.SetFirstBootAddress(devicePage_.NvmUserStartText());
    mainPage_.SetConnected(flag);
    if (oldIndex != kTabDirectBurn) mtpPage_.SetConnectionState(flag);
    if (oldIndex != kTabMtp) directBurnPage_.SetConnected(flag);
}

void CZeltra_NVM_BurnerDlg::OnAbout() {
    CAboutDlg about(this);
    runModal_(about);
}

void CZeltra_NVM_BurnerDlg::DisconnectOnLeaving() {
    if (bConnected_ == 1) ordwin_.DisconnectUSB();
}

void CZeltra_NVM_BurnerDlg::OnExit() {
    if (OperationGate::Shared().Busy()) return;
    DisconnectOnLeaving();
    leaving_ = true;
    done(QDialog::Accepted);
}

void CZeltra_NVM_BurnerDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Return never leaves the program (Exit is left to its button); in the
    // adapter box it connects the adapter named there.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        QWidget* focus = focusWidget();
        const bool inAdapterBox =
            focus != nullptr && (focus == &adapterCombo_ || adapterCombo_.isAncestorOf(focus));
        if (inAdapterBox && bConnected_ == 0) OnConnect();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CZeltra_NVM_BurnerDlg::closeEvent(QCloseEvent* event) {
    if (OperationGate::Shared().Busy()) {
        event->ignore();
        // Told without waiting for an answer: the running burn keeps polling its chip.
        switch (OperationGate::Shared().Running()) {
            case OperationGate::Work::kBurn:
                lossFilter_.Notify(u"A burn is in progress.", MsgIcon::Exclamation);
                break;
            case OperationGate::Work::kMtpWrite:
                lossFilter_.Notify(u"An MTP write is in progress.", MsgIcon::Exclamation);
                break;
            case OperationGate::Work::kOther:
                lossFilter_.Notify(u"An operation is in progress.", MsgIcon::Exclamation);
                break;
        }
        return;
    }
    if (!leaving_) {
        DisconnectOnLeaving();
        leaving_ = true;
        setResult(QDialog::Rejected);
    }
    QDialog::closeEvent(event);
}

void CZeltra_NVM_BurnerDlg::reject() {
    // Only the close box ends the window this way; Escape is swallowed above.
    if (leaving_) QDialog::reject();
}

}  // namespace cindral
