#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "core/operation_gate.h"
#include "core/settings_archive.h"
#include "core/text.h"
#include "resources/app_icon.h"
#include "shell/about_dlg.h"
#include "shell/qt_text.h"

namespace cindral {

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
      m_ordwin(ordwin),
      m_ports(ports),
      m_connection(ordwin, ports.messages),
      m_mainPage(ordwin, ports, m_devicePage),
      m_directBurnPage(ordwin, ports, m_devicePage),
      m_mtpPage(ordwin, ports),
      m_devicePage(ordwin, ports.messages),
      m_crcPage(ordwin, ports.messages),
      m_runModal([](QDialog& d) { return d.exec(); }) {
    InitDialog();
}

CZeltra_NVM_BurnerDlg::~CZeltra_NVM_BurnerDlg() {
    OperationGate::Shared().RemoveListener(m_gateListener);
}

void CZeltra_NVM_BurnerDlg::InitDialog() {
    setObjectName(QString::number(kTemplate));
    setWindowTitle(QStringLiteral("Cindral"));
    setWindowIcon(AppIcon());
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);

    auto* layout = new QVBoxLayout(this);
    BuildMenu();
    layout->setMenuBar(m_menuBar);

    auto* group = new QGroupBox(QStringLiteral("Device Selection"));
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("USB Adapter")));
    m_adapterCombo.setObjectName(QStringLiteral("1031"));
    m_adapterCombo.setEditable(true);
    m_adapterCombo.setInsertPolicy(QComboBox::NoInsert);
    m_adapterCombo.setMinimumContentsLength(16);
    row->addWidget(&m_adapterCombo, 1);
    m_connectButton = new QPushButton(QStringLiteral("Connect"));
    m_connectButton->setObjectName(QStringLiteral("1032"));
    m_connectButton->setAutoDefault(false);
    row->addWidget(m_connectButton);
    m_resetButton = new QPushButton(QStringLiteral("System Reset/Reboot"));
    m_resetButton->setObjectName(QStringLiteral("1033"));
    m_resetButton->setAutoDefault(false);
    row->addWidget(m_resetButton);
    layout->addWidget(group);

    m_tabs.setObjectName(QStringLiteral("1000"));
    layout->addWidget(&m_tabs, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    m_exitButton = new QPushButton(QStringLiteral("Exit"));
    m_exitButton->setObjectName(QStringLiteral("1"));
    m_exitButton->setDefault(true);
    bottom->addWidget(m_exitButton);
    layout->addLayout(bottom);

    m_tabs.AddPage(kTabMain, QStringLiteral("Main"), CMainDlg::kTemplate, &m_mainPage);
    m_tabs.AddPage(kTabDirectBurn, QStringLiteral("Direct Burn"), CDirectBurnDlg::kTemplate,
                   &m_directBurnPage);
    m_tabs.AddPage(kTabMtp, QStringLiteral("MTP Write"), CBurnEPROMDlg::kTemplate, &m_mtpPage);
    m_tabs.AddPage(kTabDevice, QStringLiteral("Device"), CDeviceInformation::kTemplate,
                   &m_devicePage);
    m_tabs.AddPage(kTabCrc, QStringLiteral("CRC"), CRunCRCDlg::kTemplate, &m_crcPage);
    m_tabs.setCurrentIndex(kTabMain);

    connect(m_connectButton, &QPushButton::clicked, this, &CZeltra_NVM_BurnerDlg::OnConnect);
    connect(m_resetButton, &QPushButton::clicked, this, &CZeltra_NVM_BurnerDlg::OnSystemReset);
    connect(m_exitButton, &QPushButton::clicked, this, &CZeltra_NVM_BurnerDlg::OnExit);
    connect(&m_adapterCombo, &AdapterComboBox::droppedDown, this,
            &CZeltra_NVM_BurnerDlg::RefreshAdapterList);
    // Queued: a click in the list selects its item only after the list has closed,
    // and the refresh must see that selection.
    connect(&m_adapterCombo, &AdapterComboBox::closedUp, this,
            &CZeltra_NVM_BurnerDlg::RefreshAdapterList, Qt::QueuedConnection);
    connect(&m_tabs, &CDlgTabCtrl::selectionChanging, this,
            [this](int oldIndex, int) { OnTabChanging(oldIndex); });
    ConnectPages();

    // While a compose, burn or MTP write runs nothing else may start, and the
    // window shows that it is busy.
    m_gateListener = OperationGate::Shared().AddListener([this](bool busy) {
        m_connectButton->setEnabled(!busy);
        m_resetButton->setEnabled(!busy && m_bConnected == 1);
        m_exitButton->setEnabled(!busy);
        m_adapterCombo.setEnabled(!busy);
        m_mtpPage.setEnabled(!busy);
        m_crcPage.setEnabled(!busy);
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    });

    m_bConnected = 0;
    m_resetButton->setEnabled(false);
    RefreshAdapterList();
    std::memset(m_serial, 0, sizeof m_serial);
    resize(760, 620);
}

void CZeltra_NVM_BurnerDlg::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("129"));
    QMenu* file = m_menuBar->addMenu(QStringLiteral("File"));
    auto add = [](QMenu* menu, const QString& text, int id) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::number(id));
        return a;
    };
    QAction* open = add(file, QStringLiteral("&Open..."), 57601);
    connect(open, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnFileOpen);
    file->addSeparator();
    QAction* save = add(file, QStringLiteral("&Save"), 57603);
    connect(save, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnFileSave);
    QAction* saveAs = add(file, QStringLiteral("Save &As..."), 32772);
    connect(saveAs, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnFileSaveAs);
    file->addSeparator();
    QAction* exit = add(file, QStringLiteral("E&xit"), 32773);
    connect(exit, &QAction::triggered, this, &CZeltra_NVM_BurnerDlg::OnExit);
    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    QAction* about = add(help, QStringLiteral("&About..."), 32774);
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
    if (auto path = m_ports.files.OpenFile(r)) LoadSettings(*path);
}

void CZeltra_NVM_BurnerDlg::OnFileSave() {
    if (m_settingsPath.empty()) {
        OnFileSaveAs();
        return;
    }
    SaveSettings(m_settingsPath);
}

void CZeltra_NVM_BurnerDlg::OnFileSaveAs() {
    FileDialogRequest r = SettingsDialog();
    r.proposedName = u"Presets";
    r.confirmOverwrite = true;
    auto path = m_ports.files.SaveFile(r);
    if (!path) return;
    m_settingsPath = *path;
    SaveSettings(m_settingsPath);
}

void CZeltra_NVM_BurnerDlg::SaveSettings(const std::u16string& path) {
    SettingsWriter out;
    m_mainPage.StoreMainSettings(out);
    m_directBurnPage.StoreDirectBurnSettings(out);
    std::string why;
    if (!out.SaveTo(path, &why)) {
        m_ports.messages.Ok(u"The settings could not be saved to " + path + u":\n" +
                            WidenText(why));
    }
}

void CZeltra_NVM_BurnerDlg::LoadSettings(const std::u16string& path) {
    std::optional<SettingsReader> in = SettingsReader::Open(path);
    if (!in) return;
    // Each page applies what it could read; a short or foreign file stops the
    // reading, not the program.
    m_mainPage.LoadMainSettings(*in);
    m_directBurnPage.LoadDirectBurnSettings(*in);
}

void CZeltra_NVM_BurnerDlg::RefreshAdapterList() {
    QString remembered;
    bool hadSelection = m_adapterCombo.currentIndex() >= 0;
    if (hadSelection) remembered = m_adapterCombo.itemText(m_adapterCombo.currentIndex());
    m_adapterCombo.clear();
    QStringList serials;
    for (const std::string& sn : m_connection.ListAdapters()) serials << ToQ(sn);
    m_adapterCount = static_cast<int>(serials.size());
    serials.sort();
    m_adapterCombo.addItems(serials);
    int index = hadSelection ? serials.indexOf(remembered) : -1;
    if (index < 0 && !serials.isEmpty()) index = 0;
    m_adapterCombo.setCurrentIndex(index);
}

bool CZeltra_NVM_BurnerDlg::ReadSelectedAdapter() {
    int index = m_adapterCombo.currentIndex();
    // Text typed into the edit field that names no listed adapter is no selection.
    if (index < 0 || m_adapterCombo.itemText(index) != m_adapterCombo.currentText()) {
        m_ports.messages.Ok(
            u"Please select an Adapter from the list! If the list is empty then no USB Debug "
            u"Adapter is detected.");
        return false;
    }
    std::string narrow = NarrowText(FromQ(m_adapterCombo.itemText(index)), sizeof m_serial);
    std::memset(m_serial, 0, sizeof m_serial);
    std::memcpy(m_serial, narrow.data(), narrow.size());
    return true;
}

void CZeltra_NVM_BurnerDlg::ToggleConnection() {
    if (m_bConnected == 1) {
        if (!m_connection.Disconnect()) return;
        m_bConnected = 0;
        emit connectionChanged(false);
        return;
    }
    if (!ReadSelectedAdapter()) return;
    if (!m_connection.Connect(m_serial)) return;
    m_bConnected = 1;
    emit connectionChanged(true);
}

void CZeltra_NVM_BurnerDlg::ConnectPages() {
    // Slots run in the order they are connected: Main, CRC, Device, MTP Write.
    // The Direct Burn page learns the state at the next tab change.
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &m_mainPage,
            [this](bool on) { m_mainPage.SetConnected(on ? 1 : 0); });
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &m_crcPage,
            [this](bool on) { m_crcPage.SetConnected(on ? 1 : 0); });
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &m_devicePage, [this](bool on) {
        m_devicePage.SetConnected(on ? 1 : 0);
        if (!on) m_devicePage.ClearDevice();
    });
    connect(this, &CZeltra_NVM_BurnerDlg::connectionChanged, &m_mtpPage,
            [this](bool on) { m_mtpPage.SetConnectionState(on ? 1 : 0); });
}

void CZeltra_NVM_BurnerDlg::OnConnect() {
    if (OperationGate::Shared().Busy()) return;
    ToggleConnection();
    m_connectButton->setText(m_bConnected ? QStringLiteral("Disconnect")
                                          : QStringLiteral("Connect"));
    m_resetButton->setEnabled(m_bConnected == 1);
    if (m_bConnected == 1) {
        m_devicePage.ReadDevice();
        m_mainPage.SetBootStatus(m_devicePage.ProtectionByte());
        m_mainPage.SetFirstBootAddress(m_devicePage.NvmUserStartText());
    }
}

void CZeltra_NVM_BurnerDlg::OnSystemReset() {
    if (OperationGate::Shared().Busy()) return;
    if (m_bConnected == 1) ToggleConnection();
    ToggleConnection();
    m_resetButton->setEnabled(m_bConnected == 1);
    // The caption follows the state, also after a reconnect that failed.
    m_connectButton->setText(m_bConnected ? QStringLiteral("Disconnect")
                                          : QStringLiteral("Connect"));
    m_devicePage.ReadDevice();
}

void CZeltra_NVM_BurnerDlg::OnTabChanging(int oldIndex) {
    const int flag = m_devicePage.Connected();
    m_mainPage.SetBootStatus(m_devicePage.ProtectionByte());
    m_mainPage.SetFirstBootAddress(m_devicePage.NvmUserStartText());
    m_mainPage.SetConnected(flag);
    if (oldIndex != kTabDirectBurn) m_mtpPage.SetConnectionState(flag);
    if (oldIndex != kTabMtp) m_directBurnPage.SetConnected(flag);
}

void CZeltra_NVM_BurnerDlg::OnAbout() {
    CAboutDlg about(this);
    m_runModal(about);
}

void CZeltra_NVM_BurnerDlg::DisconnectOnLeaving() {
    if (m_bConnected == 1) m_ordwin.DisconnectUSB();
}

void CZeltra_NVM_BurnerDlg::OnExit() {
    if (OperationGate::Shared().Busy()) return;
    DisconnectOnLeaving();
    m_leaving = true;
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
            focus != nullptr && (focus == &m_adapterCombo || m_adapterCombo.isAncestorOf(focus));
        if (inAdapterBox && m_bConnected == 0) OnConnect();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CZeltra_NVM_BurnerDlg::closeEvent(QCloseEvent* event) {
    if (OperationGate::Shared().Busy()) {
        event->ignore();
        return;
    }
    if (!m_leaving) {
        DisconnectOnLeaving();
        m_leaving = true;
        setResult(QDialog::Rejected);
    }
    QDialog::closeEvent(event);
}

void CZeltra_NVM_BurnerDlg::reject() {
    // Only the close box ends the window this way; Escape is swallowed above.
    if (m_leaving) QDialog::reject();
}

}  // namespace cindral
