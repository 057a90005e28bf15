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

const char16_t* const kDirectFilter = u"Direct Burn File (*.mem)|*.mem|All Files (*.*)|*.*||";

QPushButton* MakeButton(const char* text, int id) {
    auto* b = new QPushButton(QString::fromLatin1(text));
    b->setObjectName(QString::number(id));
    b->setAutoDefault(false);
    return b;
}

QRadioButton* MakeRadio(const char* text, int id) {
    auto* r = new QRadioButton(QString::fromLatin1(text));
    r->setObjectName(QString::number(id));
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
      m_host(device),
      m_engine(ordwin, ports, m_host,
               programDirectory.empty() ? ProgramDirectory() : std::move(programDirectory)),
      m_ports(ports),
      m_burnButton(QStringLiteral("Burn")) {
    BuildControls();
    m_gateListener = m_engine.Gate().AddListener([this](bool busy) { setEnabled(!busy); });
}

CDirectBurnDlg::~CDirectBurnDlg() {
    m_engine.Gate().RemoveListener(m_gateListener);
}

void CDirectBurnDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* input = new QGroupBox(QStringLiteral("Input"));
    auto* inputLayout = new QVBoxLayout(input);
    m_fromFile = MakeRadio("File", 1039);
    m_fromText = MakeRadio("Direct", 1040);
    auto* inputGroup = new QButtonGroup(this);
    inputGroup->addButton(m_fromFile);
    inputGroup->addButton(m_fromText);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_fromFile);
    fileRow->addWidget(new QLabel(QStringLiteral("Direct Burn File")));
    m_directFileEdit = new QLineEdit;
    m_directFileEdit->setObjectName(QStringLiteral("1041"));
    fileRow->addWidget(m_directFileEdit, 1);
    QPushButton* openDirect = MakeButton("Open...", 1042);
    fileRow->addWidget(openDirect);
    inputLayout->addLayout(fileRow);
    inputLayout->addWidget(m_fromText);
    inputLayout->addWidget(new QLabel(QStringLiteral("Direct Burn Text (@addr data)")));
    m_textEdit = new QPlainTextEdit;
    m_textEdit->setObjectName(QStringLiteral("1014"));
    inputLayout->addWidget(m_textEdit, 1);
    layout->addWidget(input, 1);

    auto* mode = new QGroupBox(QStringLiteral("Compose Mode"));
    auto* modeLayout = new QHBoxLayout(mode);
    m_strict = MakeRadio("Strict", 1043);
    m_logicOr = MakeRadio("Logic OR", 1044);
    auto* modeGroup = new QButtonGroup(this);
    modeGroup->addButton(m_strict);
    modeGroup->addButton(m_logicOr);
    modeLayout->addWidget(m_strict);
    modeLayout->addWidget(m_logicOr);
    modeLayout->addStretch(1);
    layout->addWidget(mode);

    auto* burnRow = new QHBoxLayout;
    burnRow->addWidget(new QLabel(QStringLiteral("NVM Burn File")));
    m_nvmFileEdit = new QLineEdit;
    m_nvmFileEdit->setObjectName(QStringLiteral("1050"));
    burnRow->addWidget(m_nvmFileEdit, 1);
    QPushButton* newFile = MakeButton("New...", 1015);
    QPushButton* openFile = MakeButton("Open...", 1016);
    burnRow->addWidget(newFile);
    burnRow->addWidget(openFile);
    m_overwrite = new QCheckBox(QStringLiteral("Overwrite"));
    m_overwrite->setObjectName(QStringLiteral("1051"));
    burnRow->addWidget(m_overwrite);
    layout->addLayout(burnRow);

    auto* actions = new QHBoxLayout;
    QPushButton* compose = MakeButton("Compose", 1047);
    m_burnButton.setObjectName(QStringLiteral("1032"));
    m_burnButton.setAutoDefault(false);
    actions->addWidget(compose);
    actions->addWidget(&m_burnButton);
    actions->addStretch(1);
    layout->addLayout(actions);

    m_fromFile->setChecked(true);
    m_logicOr->setChecked(true);

    connect(openDirect, &QPushButton::clicked, this, &CDirectBurnDlg::OnOpenDirectBurnFile);
    connect(openFile, &QPushButton::clicked, this, &CDirectBurnDlg::OnOpenNvmBurnFile);
    connect(newFile, &QPushButton::clicked, this, &CDirectBurnDlg::OnNewNvmBurnFile);
    connect(compose, &QPushButton::clicked, this, &CDirectBurnDlg::OnCompose);
    connect(&m_burnButton, &QPushButton::clicked, this, &CDirectBurnDlg::OnBurn);
}

void CDirectBurnDlg::UpdateData(bool save) {
    if (save) {
        m_directBurnFile = FromQ(m_directFileEdit->text());
        m_nvmBurnFile = FromQ(m_nvmFileEdit->text());
        m_directText = FromQ(m_textEdit->toPlainText());
        return;
    }
    m_directFileEdit->setText(ToQ(m_directBurnFile));
    m_nvmFileEdit->setText(ToQ(m_nvmBurnFile));
    if (FromQ(m_textEdit->toPlainText()) != m_directText)
        m_textEdit->setPlainText(ToQ(m_directText));
}

void CDirectBurnDlg::StoreDirectBurnSettings(SettingsWriter& out) {
    UpdateData(true);
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(m_fromFile), static_cast<QAbstractButton*>(m_fromText),
          static_cast<QAbstractButton*>(m_strict), static_cast<QAbstractButton*>(m_logicOr),
          static_cast<QAbstractButton*>(m_overwrite)})
        out.WriteInt(b->isChecked() ? 1 : 0);
    out.WriteString(m_directBurnFile);
    out.WriteString(m_nvmBurnFile);
    out.WriteString(m_directText);
}

void CDirectBurnDlg::LoadDirectBurnSettings(SettingsReader& in) {
    // What the operator typed is the previous value of every field the file
    // does not reach; pushing stale fields back would wipe it.
    UpdateData(true);
    auto read = [&] {
        for (QAbstractButton* b :
             {static_cast<QAbstractButton*>(m_fromFile), static_cast<QAbstractButton*>(m_fromText),
              static_cast<QAbstractButton*>(m_strict), static_cast<QAbstractButton*>(m_logicOr),
              static_cast<QAbstractButton*>(m_overwrite)}) {
            int32_t state = 0;
            if (!in.ReadInt(state)) return;
            if (state != 0 || b == m_overwrite) b->setChecked(state != 0);
        }
        for (std::u16string* field : {&m_directBurnFile, &m_nvmBurnFile, &m_directText}) {
            std::u16string value;
            if (!in.ReadString(value)) return;
            *field = std::move(value);
        }
    };
    read();
    UpdateData(false);
}

void CDirectBurnDlg::Warn(const char16_t* text) {
    m_ports.messages.ShowMessage(text, u"Warning!", MsgButtons::Ok, MsgIcon::None);
}

void CDirectBurnDlg::OnOpenDirectBurnFile() {
    if (m_engine.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen =
        ChooseExistingFile(m_ports.files, m_ports.messages, kDirectFilter);
    if (!chosen) return;
    m_directBurnFile = *chosen;
    UpdateData(false);
}

void CDirectBurnDlg::OnOpenNvmBurnFile() {
    if (m_engine.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen =
        ChooseExistingFile(m_ports.files, m_ports.messages, kBurnFileFilter);
    if (!chosen) return;
    m_nvmBurnFile = *chosen;
    UpdateData(false);
}

void CDirectBurnDlg::OnNewNvmBurnFile() {
    if (m_engine.Gate().Busy()) return;
    UpdateData(true);
    std::optional<std::u16string> chosen = ChooseNewBurnFile(m_ports.files, m_ports.messages);
    if (!chosen) return;
    m_nvmBurnFile = *chosen;
    UpdateData(false);
}

void CDirectBurnDlg::FillEngine() {
    NvmOptions o;
    o.directFromFile = m_fromFile->isChecked() ? 1 : 0;
    o.directStrict = m_strict->isChecked() ? 1 : 0;
    o.directBurnFile = m_directBurnFile;
    o.directText = m_directText;
    o.directNvmBurnFile = m_nvmBurnFile;
    o.directOverwrite = m_overwrite->isChecked() ? 1 : 0;
    m_engine.SetOptions(std::move(o));
}

void CDirectBurnDlg::OnCompose() {
    if (m_engine.Gate().Busy()) return;
    UpdateData(true);
    if (m_nvmBurnFile.empty()) return Warn(u"An NVM Burn File is required.");
    if (m_fromText->isChecked() && m_directText.empty())
        return Warn(u"Text is required for Composing.");
    if (m_fromFile->isChecked() && m_directBurnFile.empty())
        return Warn(u"A Direct Burn File is required.");
    // The edit box keeps its line breaks; the composer gets one line.
    m_directText = ReplaceLineBreaks(m_directText);
    FillEngine();
    if (m_engine.DirectCompose() == 1)
        m_ports.messages.Ok(u"Direct Compose run completed successfully.");
}

void CDirectBurnDlg::OnBurn() {
    if (m_engine.Gate().Busy()) return;
    UpdateData(true);
    if (m_nvmBurnFile.empty()) return Warn(u"An NVM Burn File is required.");
    if (m_fromText->isChecked() && m_directText.empty())
        return Warn(u"Text is required to execute the Burn.");
    if (m_fromFile->isChecked() && m_directBurnFile.empty())
        return Warn(u"A Direct Burn File is required.");
    m_directText = ReplaceLineBreaks(m_directText);
    FillEngine();
    m_engine.DirectBurn();
}

}  // namespace cindral
