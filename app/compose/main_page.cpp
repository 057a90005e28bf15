#include "compose/main_page.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "burn/device_page.h"
#include "compose/nvm_address_dlg.h"
#include "core/file_helpers.h"
#include "core/text.h"
#include "shell/qt_text.h"

namespace cindral {

namespace {

namespace ctl = ids::main_page;

std::u16string FileNameOf(const std::u16string& path) {
    std::size_t cut = path.find_last_of(u"/\\");
    return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

// The file can be opened for reading and writing (and is closed again at once).
bool OpensForReadWrite(const std::u16string& path) {
    if (path.empty()) return false;
    // In and out together: an existing file this user may write, never created.
    std::fstream file(ToPath(path), std::ios::in | std::ios::out | std::ios::binary);
    return file.is_open();
}

}  // namespace

std::u16string ProgramDirectory() {
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return FromQ(dir);
}

CMainDlg::CMainDlg(IOrdwin& ordwin, Ports ports, CDeviceInformation& device,
                   std::u16string programDirectory, QWidget* parent)
    : CPageDlg(kTemplate, parent),
      burnButton_(QStringLiteral("Burn")),
      recorder_(ports.messages),
      host_(device),
      engine_(ordwin, Ports{recorder_, ports.files, ports.sleep, ports.pump}, host_,
              programDirectory.empty() ? ProgramDirectory() : std::move(programDirectory)),
      ports_(ports),
      runModal_([](QDialog& d) { return d.exec(); }),
      runMenu_([](QMenu& menu, const QPoint& at) { return menu.exec(at); }) {
    BuildControls();
    gateListener_ = engine_.Gate().AddListener([this](bool busy) { setEnabled(!busy); });
}

CMainDlg::~CMainDlg() {
    engine_.Gate().RemoveListener(gateListener_);
}

QCheckBox& CMainDlg::Box(int id) {
    return *boxes_[id - ctl::kUserBox];
}

void CMainDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    // One file list with its label and its three buttons.
    auto fileList = [this](CListCtrlStyled& list, int id, const char* label, const char* extra,
                           int labelId, int addId, int clearId, int addrId, bool boot) {
        auto* w = new QWidget;
        auto* box = new QVBoxLayout(w);
        box->setContentsMargins(0, 0, 0, 0);
        auto* head = new QHBoxLayout;
        auto* l = new QLabel(QString::fromLatin1(label));
        SetControlId(*l, labelId);
        head->addWidget(l);
        if (extra) {
            auto* e = new QLabel(QString::fromLatin1(extra));
            SetControlId(*e, labelId + 1);
            head->addWidget(e);
        }
        head->addStretch(1);
        box->addLayout(head);
        SetControlId(list, id);
        list.InsertColumn(0, QStringLiteral("File Name"), CListCtrlStyled::kLeft, 227);
        list.InsertColumn(1, QStringLiteral("NVM Address"), CListCtrlStyled::kLeft, 99);
        list.setContextMenuPolicy(Qt::CustomContextMenu);
        connect(&list, &QWidget::customContextMenuRequested, this,
                [this, &list, boot](const QPoint& at) {
                    OnListContextMenu(boot, list.viewport()->mapToGlobal(at));
                });
        box->addWidget(&list, 1);
        auto* buttons = new QHBoxLayout;
        QPushButton* add = MakePageButton("Add...", addId);
        QPushButton* clear = MakePageButton("Clear All", clearId);
        QPushButton* addr = MakePageButton("NVM Addr...", addrId);
        buttons->addWidget(add);
        buttons->addWidget(clear);
        buttons->addWidget(addr);
        buttons->addStretch(1);
        box->addLayout(buttons);
        connect(add, &QPushButton::clicked, this, [this, boot] { AddFile(boot); });
        connect(clear, &QPushButton::clicked, this, [this, boot] { ClearList(boot); });
        connect(addr, &QPushButton::clicked, this, [this, boot] { EditAddress(boot); });
        return w;
    };
    auto* files = new QHBoxLayout;
    files->addWidget(
        fileList(bootList_, ctl::kBootList, "User Boot Files", nullptr, ctl::kBootFilesLabel,
                 ctl::kBootAddButton, ctl::kBootClearAllButton, ctl::kBootAddressButton, true),
        1);
    files->addWidget(
        fileList(appList_, ctl::kAppList, "User App Files", "(Overlay)", ctl::kAppFilesLabel,
                 ctl::kAppAddButton, ctl::kAppClearAllButton, ctl::kAppAddressButton, false),
        1);
    layout->addLayout(files, 1);

    static const char* const kBoxTexts[8] = {"User",          "Run",         "XO Early Enable",
                                             "Exe User Boot", "NVM Disable", "MTP Disable",
                                             "RAM Clear",     "C2 Disable"};
    for (int i = 0; i < 8; ++i) {
        boxes_[i] = new QCheckBox(QString::fromLatin1(kBoxTexts[i]));
        SetControlId(*boxes_[i], ctl::kUserBox + i);
    }
    auto* options = new QHBoxLayout;
    auto* userGroup = new QGroupBox(QStringLiteral("User"));
    SetControlId(*userGroup, ctl::kUserGroup);
    auto* userLayout = new QVBoxLayout(userGroup);
    for (int id : {ctl::kUserBox, ctl::kXoEarlyEnableBox, ctl::kExeUserBootBox})
        userLayout->addWidget(&Box(id));
    auto* runGroup = new QGroupBox(QStringLiteral("Run"));
    SetControlId(*runGroup, ctl::kRunGroup);
    auto* runLayout = new QGridLayout(runGroup);
    runLayout->addWidget(&Box(ctl::kRunBox), 0, 0);
    runLayout->addWidget(&Box(ctl::kNvmDisableBox), 1, 0);
    runLayout->addWidget(&Box(ctl::kMtpDisableBox), 2, 0);
    runLayout->addWidget(&Box(ctl::kRamClearBox), 1, 1);
    runLayout->addWidget(&Box(ctl::kC2DisableBox), 2, 1);
    auto* modeGroup = new QGroupBox(QStringLiteral("Compose Mode"));
    SetControlId(*modeGroup, ctl::kComposeModeGroup);
    auto* modeLayout = new QVBoxLayout(modeGroup);
    strict_ = new QRadioButton(QStringLiteral("Strict"));
    SetControlId(*strict_, ctl::kStrictRadio);
    logicOr_ = new QRadioButton(QStringLiteral("Logic OR"));
    SetControlId(*logicOr_, ctl::kLogicOrRadio);
    modeLayout->addWidget(strict_);
    modeLayout->addWidget(logicOr_);
    options->addWidget(userGroup);
    options->addWidget(runGroup);
    options->addWidget(modeGroup);
    auto* actions = new QVBoxLayout;
    QPushButton* compose = MakePageButton("Compose", ctl::kComposeButton);
    SetControlId(burnButton_, ctl::kBurnButton);
    burnButton_.setAutoDefault(false);
    actions->addWidget(compose);
    actions->addWidget(&burnButton_);
    actions->addStretch(1);
    options->addLayout(actions);
    options->addStretch(1);
    layout->addLayout(options);

    auto* burnRow = new QHBoxLayout;
    burnRow->addWidget(new QLabel(QStringLiteral("NVM Burn File")));
    burnFileEdit_ = new QLineEdit;
    SetControlId(*burnFileEdit_, ctl::kBurnFileEdit);
    burnRow->addWidget(burnFileEdit_, 1);
    QPushButton* newFile = MakePageButton("New...", ctl::kNewBurnFileButton);
    QPushButton* openFile = MakePageButton("Open...", ctl::kOpenBurnFileButton);
    burnRow->addWidget(newFile);
    burnRow->addWidget(openFile);
    overwrite_ = new QCheckBox(QStringLiteral("Overwrite"));
    SetControlId(*overwrite_, ctl::kOverwriteBox);
    burnRow->addWidget(overwrite_);
    layout->addLayout(burnRow);

    layout->addWidget(new QLabel(QStringLiteral("NVM Map (Composer Report)")));
    SetControlId(mapList_, ctl::kMapList);
    mapList_.InsertColumn(0, QStringLiteral("File Name"), CListCtrlStyled::kLeft, 300);
    mapList_.InsertColumn(1, QStringLiteral("NVM Range"), CListCtrlStyled::kLeft, 130);
    mapList_.InsertColumn(2, QStringLiteral("Length"), CListCtrlStyled::kLeft, 99);
    mapList_.InsertColumn(3, QStringLiteral("Conflict"), CListCtrlStyled::kLeft, 85);
    for (CListCtrlStyled* list : {&bootList_, &appList_, &mapList_})
        list->SetExtendedStyle(CListCtrlStyled::kGridLines | CListCtrlStyled::kFullRowSelect |
                               CListCtrlStyled::kFlatScrollBars);
    layout->addWidget(&mapList_, 1);

    // Kept from the original layout: never shown.
    auto* countLabel = new QLabel(QStringLiteral("Successful burn count:"), this);
    SetControlId(*countLabel, ctl::kBurnCountLabel);
    countLabel->hide();
    auto* countEdit = new QLineEdit(QStringLiteral("0"), this);
    SetControlId(*countEdit, ctl::kBurnCountEdit);
    countEdit->hide();

    // The menu resource holds one popup, "Clear List"; a right click shows its items.
    contextMenu_.setTitle(QStringLiteral("Clear List"));
    clearAction_ = contextMenu_.addAction(QStringLiteral("Clear"));
    SetControlId(*clearAction_, ctl::kClearCommand);

    connect(compose, &QPushButton::clicked, this, &CMainDlg::OnCompose);
    connect(&burnButton_, &QPushButton::clicked, this, &CMainDlg::OnBurn);
    connect(newFile, &QPushButton::clicked, this, &CMainDlg::OnNewBurnFile);
    connect(openFile, &QPushButton::clicked, this, &CMainDlg::OnOpenBurnFile);
    connect(burnFileEdit_, &QLineEdit::textChanged, this, &CMainDlg::OnBurnFileChanged);
    connect(&Box(ctl::kUserBox), &QCheckBox::clicked, this, &CMainDlg::OnUserClicked);
    connect(&Box(ctl::kRunBox), &QCheckBox::clicked, this, &CMainDlg::OnRunClicked);

    strict_->setChecked(true);
    for (int id = ctl::kExeUserBootBox; id <= ctl::kC2DisableBox; ++id) Box(id).setEnabled(false);
    Box(ctl::kC2DisableBox).setChecked(false);
}

void CMainDlg::SetBox(int id, bool checked, bool enabled) {
    Box(id).setChecked(checked);
    Box(id).setEnabled(enabled);
}

void CMainDlg::UpdateData(bool save) {
    if (save) {
        burnFilePath_ = FromQ(burnFileEdit_->text());
    } else if (FromQ(burnFileEdit_->text()) != burnFilePath_) {
        burnFileEdit_->setText(ToQ(burnFilePath_));
    }
}

bool CMainDlg::RefuseSpaces(const std::u16string& path) {
    return cindral::RefuseSpaces(path, ports_.messages);
}

int CMainDlg::SelectionMark(CListCtrlStyled& list) {
    const QList<QTreeWidgetItem*> selected = list.selectedItems();
    if (selected.isEmpty()) return -1;
    return list.indexOfTopLevelItem(selected.first());
}

void CMainDlg::SetConnected(int flag) {
    bConnected_ = flag;
    if (flag != 0) return;
    for (int id : {ctl::kUserBox, ctl::kRunBox, ctl::kXoEarlyEnableBox}) SetBox(id, false, true);
    strict_->setChecked(true);
    for (int id = ctl::kExeUserBootBox; id <= ctl::kC2DisableBox; ++id) Box(id).setEnabled(false);
    Box(ctl::kC2DisableBox).setChecked(false);
}

void CMainDlg::SetBootStatus(uint8_t value) {
    bootStatus_ = value;
    const int low = value & 7;
    if (low == 3 || low == 5 || low == 7) {
        SetBox(ctl::kUserBox, true, false);
        Box(ctl::kExeUserBootBox).setEnabled(true);
    }
    if (low == 7) {
        SetBox(ctl::kRunBox, true, false);
        for (int id = ctl::kExeUserBootBox; id <= ctl::kC2DisableBox; ++id)
            Box(id).setEnabled(true);
    }
    if (value & 0x40) SetBox(ctl::kC2DisableBox, true, false);
    UpdateData(false);
}

void CMainDlg::SetFirstBootAddress(const std::u16string& text) {
    if (!text.empty()) firstBootAddress_ = text;
    if (bootCount_ > 0) {
        bootList_.SetItemText(0, 1, ToQ(firstBootAddress_));
        bootEntries_[0].nvmAddress = firstBootAddress_;
    }
    UpdateData(false);
}

void CMainDlg::OnUserClicked() {
    if (Box(ctl::kUserBox).isChecked()) {
        Box(ctl::kExeUserBootBox).setEnabled(true);
    } else if (!Box(ctl::kRunBox).isChecked()) {
        SetBox(ctl::kExeUserBootBox, false, false);
    }
}

void CMainDlg::OnRunClicked() {
    if (Box(ctl::kRunBox).isChecked()) {
        for (int id = ctl::kExeUserBootBox; id <= ctl::kC2DisableBox; ++id)
            Box(id).setEnabled(true);
    } else {
        if (!Box(ctl::kUserBox).isChecked()) SetBox(ctl::kExeUserBootBox, false, false);
        for (int id = ctl::kNvmDisableBox; id <= ctl::kC2DisableBox; ++id) SetBox(id, false, false);
    }
    if (bootStatus_ & 0x40) SetBox(ctl::kC2DisableBox, true, false);
    UpdateData(false);
}

void CMainDlg::AddFile(bool boot) {
    if (engine_.Gate().Busy()) return;
    FileDialogRequest request;
    request.filter =
        u"Hex Files (*.hex;*.ihx)|*.hex;*.ihx|Mem Files (*.mem)|*.mem|All Files (*.*)|*.*||";
    request.defaultExtension = u"txt";
    request.confirmOverwrite = true;
    std::optional<std::u16string> chosen = ports_.files.OpenFile(request);
    if (!chosen) return;
    const std::u16string& path = *chosen;
    if (RefuseSpaces(path)) return;
    NVMData entry;
    entry.fullPath = path;
    entry.fileName = FileNameOf(path);
    entry.nvmAddress = boot && bootCount_ == 0 ? firstBootAddress_ : u"0";
    entry.hexFlag = HexFlagOf(entry.fileName);
    AppendEntry(boot, std::move(entry));
}

void CMainDlg::AppendEntry(bool boot, NVMData entry) {
    CListCtrlStyled& list = boot ? bootList_ : appList_;
    int& count = boot ? bootCount_ : appCount_;
    list.InsertItem(count, ToQ(entry.fileName));
    list.SetItemText(count, 1, ToQ(entry.nvmAddress));
    ++count;
    (boot ? bootEntries_ : appEntries_).push_back(std::move(entry));
}

void CMainDlg::StoreMainSettings(SettingsWriter& out) {
    UpdateData(true);
    for (const std::vector<NVMData>* list : {&bootEntries_, &appEntries_}) {
        out.WriteInt(static_cast<int32_t>(list->size()));
        for (const NVMData& e : *list) {
            out.WriteInt(e.hexFlag);
            out.WriteString(e.fileName);
            out.WriteString(e.fullPath);
            out.WriteString(e.nvmAddress);
        }
    }
    out.WriteString(burnFilePath_);
    out.WriteInt(overwrite_->isChecked() ? 1 : 0);
    for (int id = ctl::kUserBox; id <= ctl::kC2DisableBox; ++id)
        out.WriteInt(Box(id).isChecked() ? 1 : 0);
    out.WriteInt(strict_->isChecked() ? 1 : 0);
    out.WriteInt(logicOr_->isChecked() ? 1 : 0);
}

void CMainDlg::LoadMainSettings(SettingsReader& in) {
    auto read = [&] {
        for (bool boot : {true, false}) {
            int32_t count = 0;
            if (!in.ReadInt(count)) return;
            for (int32_t i = 0; i < count; ++i) {
                NVMData e;
                if (!in.ReadInt(e.hexFlag) || !in.ReadString(e.fileName) ||
                    !in.ReadString(e.fullPath) || !in.ReadString(e.nvmAddress))
                    return;
                AppendEntry(boot, std::move(e));
            }
        }
        std::u16string path;
        if (!in.ReadString(path)) return;
        burnFilePath_ = path;
        int32_t state = 0;
        if (!in.ReadInt(state)) return;
        overwrite_->setChecked(state != 0);
        for (int id = ctl::kUserBox; id <= ctl::kC2DisableBox; ++id) {
            if (!in.ReadInt(state)) return;
            Box(id).setChecked(state != 0);
        }
        if (!in.ReadInt(state)) return;
        strict_->setChecked(state != 0);
        if (!in.ReadInt(state)) return;
        logicOr_->setChecked(state != 0);
    };
    read();
    if (!burnFilePath_.empty()) ReloadMap(burnFilePath_);
    if (Box(ctl::kUserBox).isChecked()) OnUserClicked();
    if (Box(ctl::kRunBox).isChecked()) OnRunClicked();
    UpdateData(false);
}

void CMainDlg::ClearList(bool boot) {
    if (engine_.Gate().Busy()) return;
    (boot ? bootCount_ : appCount_) = 0;
    (boot ? bootList_ : appList_).DeleteAllItems();
    (boot ? bootEntries_ : appEntries_).clear();
}

void CMainDlg::EditAddress(bool boot) {
    if (engine_.Gate().Busy()) return;
    CListCtrlStyled& list = boot ? bootList_ : appList_;
    const int mark = SelectionMark(list);
    if (mark < 0) {
        ports_.messages.Ok(boot ? u"Make a selection from the User Boot list."
                                : u"Make a selection from the App Files list.");
        return;
    }
    if (boot && mark == 0) {
        ports_.messages.Ok(u"This address is not editable.");
        return;
    }
    CNVMAddressDlg dialog(this);
    if (runModal_(dialog) != QDialog::Accepted) return;
    // Compose refuses such a text anyway; saying so here keeps the old address.
    if (!IsNvmAddressText(dialog.address_)) {
        ports_.messages.Ok(InvalidNvmAddressText(dialog.address_));
        return;
    }
    std::vector<NVMData>& entries = boot ? bootEntries_ : appEntries_;
    if (static_cast<std::size_t>(mark) >= entries.size()) return;
    list.SetItemText(mark, 1, ToQ(dialog.address_));
    entries[static_cast<std::size_t>(mark)].nvmAddress = dialog.address_;
}

void CMainDlg::OnListContextMenu(bool bootList, const QPoint& globalPos) {
    CListCtrlStyled& list = bootList ? bootList_ : appList_;
    if (list.GetItemCount() == 0) return;
    bBootMenu_ = bootList ? 1 : 0;
    bAppMenu_ = bootList ? 0 : 1;
    if (runMenu_(contextMenu_, globalPos) == clearAction_) OnClearListItem();
}

void CMainDlg::OnClearListItem() {
    if (engine_.Gate().Busy()) return;
    const bool boot = bBootMenu_ == 1;
    if (boot || bAppMenu_ == 1) {
        CListCtrlStyled& list = boot ? bootList_ : appList_;
        std::vector<NVMData>& entries = boot ? bootEntries_ : appEntries_;
        const int mark = SelectionMark(list);
        if (mark >= 0 && static_cast<std::size_t>(mark) < entries.size()) {
            list.DeleteItem(mark);
            entries.erase(entries.begin() + mark);
            --(boot ? bootCount_ : appCount_);
            if (boot && mark == 0) SetFirstBootAddress(firstBootAddress_);
        }
    }
    bBootMenu_ = 0;
    bAppMenu_ = 0;
}

void CMainDlg::OnNewBurnFile() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen = ChooseNewBurnFile(ports_.files, ports_.messages);
    if (!chosen) return;
    burnFilePath_ = *chosen;
    composeFailure_.Clear();
    UpdateData(false);
}

void CMainDlg::OnOpenBurnFile() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen =
        ChooseExistingFile(ports_.files, ports_.messages, kBurnFileFilter, u"nbf");
    if (!chosen) return;
    burnFilePath_ = *chosen;
    composeFailure_.Clear();
    ReloadMap(burnFilePath_);
    UpdateData(false);
}

void CMainDlg::OnBurnFileChanged() {
    UpdateData(true);
    if (!OpensForReadWrite(burnFilePath_)) return;
    ReloadMap(burnFilePath_);
    UpdateData(false);
}

void CMainDlg::ClearMap() {
    mapList_.DeleteAllItems();
    mapEntries_.clear();
    mapCount_ = 0;
}

void CMainDlg::ReloadMap(const std::u16string& path) {
    ClearMap();
    ReadComposeMap(path);
}

bool CMainDlg::SettleBurnFilePath() {
    // The composer runs in the program directory and the burn in this one; a
    // bare name would name two files.
    const std::u16string absolute = AbsoluteBurnFilePath(burnFilePath_);
    if (absolute != burnFilePath_) {
        if (RefuseSpaces(absolute)) return false;
        burnFilePath_ = absolute;
        UpdateData(false);
    }
    return true;
}

void CMainDlg::ReadComposeMap(const std::u16string& path) {
    // Burn files are small text files; anything else is not read.
    constexpr std::uintmax_t kMaxBurnFileSize = 64u << 20;
    std::error_code ec;
    if (!IsRegularFile(path) || std::filesystem::file_size(ToPath(path), ec) > kMaxBurnFileSize)
        return;
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in.is_open()) return;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    for (ComposeMapRow& row : ParseComposeMap(WidenText(bytes))) {
        const int at = mapCount_;
        mapList_.InsertItem(at, ToQ(row.map.fileName));
        mapList_.SetItemText(at, 1, ToQ(row.map.nvmRange));
        mapList_.SetItemText(at, 2, ToQ(row.map.length));
        mapList_.SetItemText(at, 3, ToQ(row.map.status));
        if (row.conflict || row.error) {
            mapList_.SetRowTxtColor(at, kRed, false);
            mapList_.SetRowStyle(at, kStyleTextColour, true);
        }
        if (row.conflict) bConflict_ = 1;
        if (row.error) bError_ = 1;
        mapEntries_.push_back(std::move(row.map));
        ++mapCount_;
    }
    UpdateData(false);
}

void CMainDlg::FillEngine() {
    NvmOptions o;
    o.strict = strict_->isChecked() ? 1 : 0;
    o.overwrite = overwrite_->isChecked() ? 1 : 0;
    o.user = Box(ctl::kUserBox).isChecked() ? 1 : 0;
    o.xoEarlyEnable = Box(ctl::kXoEarlyEnableBox).isChecked() ? 1 : 0;
    o.exeUserBoot = Box(ctl::kExeUserBootBox).isChecked() ? 1 : 0;
    o.run = Box(ctl::kRunBox).isChecked() ? 1 : 0;
    o.nvmDisable = Box(ctl::kNvmDisableBox).isChecked() ? 1 : 0;
    o.mtpDisable = Box(ctl::kMtpDisableBox).isChecked() ? 1 : 0;
    o.ramClear = Box(ctl::kRamClearBox).isChecked() ? 1 : 0;
    o.c2Disable = Box(ctl::kC2DisableBox).isChecked() ? 1 : 0;
    o.bootFiles = bootEntries_;
    o.appFiles = appEntries_;
    o.burnFile = burnFilePath_;
    engine_.SetOptions(std::move(o));
}

void CMainDlg::OnCompose() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    if (burnFilePath_.empty()) {
        ports_.messages.ShowMessage(u"An NVM Burn File is required.", u"Warning!", MsgButtons::Ok,
                                    MsgIcon::None);
        return;
    }
    if (burnFilePath_.find(u".nbf") == std::u16string::npos) {
        burnFilePath_ += u".nbf";
        UpdateData(false);
        ReloadMap(burnFilePath_);
    }
    if (!SettleBurnFilePath()) return;
    FillEngine();
    bConflict_ = 0;
    bError_ = 0;
    if (engine_.Compose() == 0) {
        // The map no longer describes what the operator asked for, and the burn
        // file on disk may be the previous one.
        if (engine_.LastRun().attempted) {
            ClearMap();
            composeFailure_.ComposeFailed();
        }
        UpdateData(false);
        return;
    }
    composeFailure_.Clear();
    if (!burnFilePath_.empty()) ReloadMap(burnFilePath_);
    if (bConflict_ && bError_) {
        ports_.messages.ShowMessage(
            u"Compose run complete.\nAddress Conflicts and Errors detected!", u"Warning!",
            MsgButtons::Ok, MsgIcon::Exclamation);
    } else if (bConflict_) {
        ports_.messages.ShowMessage(u"Compose run complete.\nAddress Conflict detected!",
                                    u"Warning!", MsgButtons::Ok, MsgIcon::Exclamation);
    } else if (bError_) {
        ports_.messages.ShowMessage(u"Compose run complete.\nAddress Error detected!", u"Warning!",
                                    MsgButtons::Ok, MsgIcon::Exclamation);
    } else {
        ports_.messages.Ok(u"Compose run completed successfully.", MsgIcon::Information);
    }
    UpdateData(false);
}

void CMainDlg::OnBurn() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    if (burnFilePath_.empty()) {
        ports_.messages.ShowMessage(u"An NVM Burn File is required.", u"Warning!", MsgButtons::Ok,
                                    MsgIcon::None);
        return;
    }
    if (!SettleBurnFilePath()) return;
    FillEngine();
    CheckedBurn{engine_, recorder_, host_, composeFailure_, progress_, burnClock_}.Run(false);
}

}  // namespace cindral
