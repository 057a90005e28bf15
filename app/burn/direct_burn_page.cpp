#include "burn/direct_burn_page.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <fstream>

#include "burn/device_page.h"
#include "core/file_helpers.h"
#include "core/text.h"
#include "shell/qt_text.h"

namespace cindral {

namespace {

namespace ctl = ids::direct_burn;

const char16_t* const kDirectFilter = u"Direct Burn File (*.mem)|*.mem|All Files (*.*)|*.*||";

QRadioButton* MakeRadio(const char* text, int id) {
    auto* r = new QRadioButton(QString::fromLatin1(text));
    SetControlId(*r, id);
    return r;
}

}  // namespace

std::u16string ReplaceLineBreaks(std::u16string text) {
    for (char16_t& c : text)
        if (c == u'\r' || c == u'\n') c = u' ';
    return text;
}

CDirectBurnDlg::CDirectBurnDlg(IOrdwin& ordwin, Ports ports, CDeviceInformation& device,
                               std::u16string programDirectory, QWidget* parent)
    : CPageDlg(kTemplate, parent),
      recorder_(ports.messages),
      host_(device),
      engine_(ordwin, Ports{recorder_, ports.files, ports.sleep, ports.pump}, host_,
              programDirectory.empty() ? ProgramDirectory() : std::move(programDirectory)),
      ports_(ports),
      burnButton_(QStringLiteral("Burn")) {
    BuildControls();
    gateListener_ = engine_.Gate().AddListener([this](bool busy) { setEnabled(!busy); });
}

CDirectBurnDlg::~CDirectBurnDlg() {
    engine_.Gate().RemoveListener(gateListener_);
}

void CDirectBurnDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* input = new QGroupBox(QStringLiteral("Input"));
    auto* inputLayout = new QVBoxLayout(input);
    fromFile_ = MakeRadio("File", ctl::kFromFileRadio);
    fromText_ = MakeRadio("Direct", ctl::kFromTextRadio);
    auto* inputGroup = new QButtonGroup(this);
    inputGroup->addButton(fromFile_);
    inputGroup->addButton(fromText_);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fromFile_);
    fileRow->addWidget(new QLabel(QStringLiteral("Direct Burn File")));
    directFileEdit_ = new QLineEdit;
    SetControlId(*directFileEdit_, ctl::kDirectFileEdit);
    fileRow->addWidget(directFileEdit_, 1);
    QPushButton* openDirect = MakePageButton("Open...", ctl::kOpenDirectFileButton);
    fileRow->addWidget(openDirect);
    inputLayout->addLayout(fileRow);
    inputLayout->addWidget(fromText_);
    inputLayout->addWidget(new QLabel(QStringLiteral("Direct Burn Text (@addr data)")));
    textEdit_ = new QPlainTextEdit;
    SetControlId(*textEdit_, ctl::kDirectTextEdit);
    inputLayout->addWidget(textEdit_, 1);
    layout->addWidget(input, 1);

    auto* mode = new QGroupBox(QStringLiteral("Compose Mode"));
    auto* modeLayout = new QHBoxLayout(mode);
    strict_ = MakeRadio("Strict", ctl::kStrictRadio);
    logicOr_ = MakeRadio("Logic OR", ctl::kLogicOrRadio);
    auto* modeGroup = new QButtonGroup(this);
    modeGroup->addButton(strict_);
    modeGroup->addButton(logicOr_);
    modeLayout->addWidget(strict_);
    modeLayout->addWidget(logicOr_);
    modeLayout->addStretch(1);
    layout->addWidget(mode);

    auto* burnRow = new QHBoxLayout;
    burnRow->addWidget(new QLabel(QStringLiteral("NVM Burn File")));
    nvmFileEdit_ = new QLineEdit;
    SetControlId(*nvmFileEdit_, ctl::kBurnFileEdit);
    burnRow->addWidget(nvmFileEdit_, 1);
    QPushButton* newFile = MakePageButton("New...", ctl::kNewBurnFileButton);
    QPushButton* openFile = MakePageButton("Open...", ctl::kOpenBurnFileButton);
    burnRow->addWidget(newFile);
    burnRow->addWidget(openFile);
    overwrite_ = new QCheckBox(QStringLiteral("Overwrite"));
    SetControlId(*overwrite_, ctl::kOverwriteBox);
    burnRow->addWidget(overwrite_);
    layout->addLayout(burnRow);

    auto* actions = new QHBoxLayout;
    QPushButton* compose = MakePageButton("Compose", ctl::kComposeButton);
    SetControlId(burnButton_, ctl::kBurnButton);
    burnButton_.setAutoDefault(false);
    actions->addWidget(compose);
    actions->addWidget(&burnButton_);
    actions->addStretch(1);
    layout->addLayout(actions);

    fromFile_->setChecked(true);
    logicOr_->setChecked(true);

    connect(openDirect, &QPushButton::clicked, this, &CDirectBurnDlg::OnOpenDirectBurnFile);
    connect(openFile, &QPushButton::clicked, this, &CDirectBurnDlg::OnOpenNvmBurnFile);
    connect(newFile, &QPushButton::clicked, this, &CDirectBurnDlg::OnNewNvmBurnFile);
    connect(compose, &QPushButton::clicked, this, &CDirectBurnDlg::OnCompose);
    connect(&burnButton_, &QPushButton::clicked, this, &CDirectBurnDlg::OnBurn);
}

void CDirectBurnDlg::UpdateData(bool save) {
    if (save) {
        directBurnFile_ = FromQ(directFileEdit_->text());
        nvmBurnFile_ = FromQ(nvmFileEdit_->text());
        directText_ = FromQ(textEdit_->toPlainText());
        return;
    }
    directFileEdit_->setText(ToQ(directBurnFile_));
    nvmFileEdit_->setText(ToQ(nvmBurnFile_));
    if (FromQ(textEdit_->toPlainText()) != directText_) textEdit_->setPlainText(ToQ(directText_));
}

void CDirectBurnDlg::StoreDirectBurnSettings(SettingsWriter& out) {
    UpdateData(true);
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(fromFile_), static_cast<QAbstractButton*>(fromText_),
          static_cast<QAbstractButton*>(strict_), static_cast<QAbstractButton*>(logicOr_),
          static_cast<QAbstractButton*>(overwrite_)})
        out.WriteInt(b->isChecked() ? 1 : 0);
    out.WriteString(directBurnFile_);
    out.WriteString(nvmBurnFile_);
    out.WriteString(directText_);
}

void CDirectBurnDlg::LoadDirectBurnSettings(SettingsReader& in) {
    // What the operator typed is the previous value of every field the file
    // does not reach; pushing stale fields back would wipe it.
    UpdateData(true);
    auto read = [&] {
        for (QAbstractButton* b :
             {static_cast<QAbstractButton*>(fromFile_), static_cast<QAbstractButton*>(fromText_),
              static_cast<QAbstractButton*>(strict_), static_cast<QAbstractButton*>(logicOr_),
              static_cast<QAbstractButton*>(overwrite_)}) {
            int32_t state = 0;
            if (!in.ReadInt(state)) return;
            if (state != 0 || b == overwrite_) b->setChecked(state != 0);
        }
        for (std::u16string* field : {&directBurnFile_, &nvmBurnFile_, &directText_}) {
            std::u16string value;
            if (!in.ReadString(value)) return;
            *field = std::move(value);
        }
    };
    read();
    UpdateData(false);
}

void CDirectBurnDlg::Warn(const char16_t* text) {
    ports_.messages.ShowMessage(text, u"Warning!", MsgButtons::Ok, MsgIcon::None);
}

void CDirectBurnDlg::OnOpenDirectBurnFile() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen =
        ChooseExistingFile(ports_.files, ports_.messages, kDirectFilter);
    if (!chosen) return;
    directBurnFile_ = *chosen;
    UpdateData(false);
}

void CDirectBurnDlg::OnOpenNvmBurnFile() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen =
        ChooseExistingFile(ports_.files, ports_.messages, kBurnFileFilter);
    if (!chosen) return;
    nvmBurnFile_ = *chosen;
    composeFailure_.Clear();
    UpdateData(false);
}

void CDirectBurnDlg::OnNewNvmBurnFile() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen = ChooseNewBurnFile(ports_.files, ports_.messages);
    if (!chosen) return;
    nvmBurnFile_ = *chosen;
    composeFailure_.Clear();
    UpdateData(false);
}

bool CDirectBurnDlg::SettlePaths() {
    // The composer runs in the program directory and the burn in this one; a
    // bare name would name two files.
    const std::u16string absolute = AbsoluteBurnFilePath(nvmBurnFile_);
    if (absolute == nvmBurnFile_) return true;
    if (RefuseSpaces(absolute, ports_.messages)) return false;
    nvmBurnFile_ = absolute;
    nvmFileEdit_->setText(ToQ(nvmBurnFile_));
    return true;
}

void CDirectBurnDlg::FillEngine() {
    NvmOptions o;
    o.directFromFile = fromFile_->isChecked() ? 1 : 0;
    o.directStrict = strict_->isChecked() ? 1 : 0;
    o.directBurnFile = directBurnFile_;
    o.directText = directText_;
    o.directNvmBurnFile = nvmBurnFile_;
    o.directOverwrite = overwrite_->isChecked() ? 1 : 0;
    engine_.SetOptions(std::move(o));
}

void CDirectBurnDlg::OnCompose() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    if (nvmBurnFile_.empty()) return Warn(u"An NVM Burn File is required.");
    if (fromText_->isChecked() && directText_.empty())
        return Warn(u"Text is required for Composing.");
    if (fromFile_->isChecked() && directBurnFile_.empty())
        return Warn(u"A Direct Burn File is required.");
    if (!SettlePaths()) return;
    // The edit box keeps its line breaks; the composer gets one line.
    directText_ = ReplaceLineBreaks(directText_);
    FillEngine();
    if (engine_.DirectCompose() == 1) {
        composeFailure_.Clear();
        ports_.messages.Ok(u"Direct Compose run completed successfully.", MsgIcon::Information);
    } else if (engine_.LastRun().attempted) {
        composeFailure_.ComposeFailed();
    }
}

void CDirectBurnDlg::OnBurn() {
    if (engine_.Gate().Busy()) return;
    UpdateData(true);
    if (nvmBurnFile_.empty()) return Warn(u"An NVM Burn File is required.");
    if (fromText_->isChecked() && directText_.empty())
        return Warn(u"Text is required to execute the Burn.");
    if (fromFile_->isChecked() && directBurnFile_.empty())
        return Warn(u"A Direct Burn File is required.");
    if (!SettlePaths()) return;
    directText_ = ReplaceLineBreaks(directText_);
    FillEngine();
    CheckedBurn{engine_, recorder_, host_, composeFailure_, progress_, burnClock_}.Run(true);
}

}  // namespace cindral
