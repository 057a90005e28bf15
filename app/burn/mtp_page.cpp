#include "burn/mtp_page.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "core/file_helpers.h"
#include "shell/qt_text.h"

namespace cindral {

namespace {

const char16_t* const kHexFilter = u"Hex File (*.hex)|*.hex|All Files (*.*)|*.*||";

QPushButton* MakeButton(const char* text, int id) {
    auto* b = new QPushButton(QString::fromLatin1(text));
    b->setObjectName(QString::number(id));
    b->setAutoDefault(false);
    return b;
}

// The page changes the box itself; its own change notifications are not edits.
class Suppress {
  public:
    explicit Suppress(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~Suppress() { flag_ = saved_; }
    Suppress(const Suppress&) = delete;
    Suppress& operator=(const Suppress&) = delete;

  private:
    bool& flag_;
    bool saved_;
};

}  // namespace

CBurnEPROMDlg::CBurnEPROMDlg(IOrdwin& ordwin, Ports ports, QWidget* parent)
    : CPageDlg(kTemplate, parent),
      m_ports(ports),
      m_engine(ordwin, ports.messages, ports.sleep),
      m_writer(MtpWriterResource()),
      m_reference(mtp::kInitialContent) {
    BuildControls();
    SetContent(m_reference);
    ResetFormats();
    m_engine.onWait = [](bool waiting) {
        if (waiting) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    m_gateListener = m_engine.Gate().AddListener([this](bool) { UpdateControls(); });
    UpdateControls();
}

CBurnEPROMDlg::~CBurnEPROMDlg() {
    m_engine.Gate().RemoveListener(m_gateListener);
}

void CBurnEPROMDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* fileRow = new QHBoxLayout;
    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("1014"));
    m_path->setReadOnly(true);
    fileRow->addWidget(m_path, 1);
    m_open = MakeButton("Open Hex File...", 1056);
    m_save = MakeButton("Save Hex File...", 1062);
    fileRow->addWidget(m_open);
    fileRow->addWidget(m_save);
    layout->addLayout(fileRow);

    layout->addWidget(new QLabel(QStringLiteral("MTP Content:")));
    auto* contentRow = new QHBoxLayout;
    contentRow->addWidget(new QLabel(QStringLiteral("0x00 ...")));
    m_content = new QTextEdit;
    m_content->setObjectName(QStringLiteral("1060"));
    m_content->setAcceptRichText(false);
    m_content->setUndoRedoEnabled(false);
    m_content->setLineWrapMode(QTextEdit::NoWrap);
    m_content->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content->setTabChangesFocus(true);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setFixedPitch(true);
    if (!QFontInfo(courier).fixedPitch())
        courier = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_content->setFont(courier);
    m_content->document()->setDefaultFont(courier);
    const QFontMetrics metrics(courier);
    const int frame = 2 * (m_content->frameWidth() + 4);
    m_content->setFixedSize(
        metrics.horizontalAdvance(QString(mtp::kPositions, QLatin1Char('0'))) + frame,
        metrics.height() + frame);
    contentRow->addWidget(m_content);
    contentRow->addWidget(new QLabel(QStringLiteral("... 0x0F")));
    contentRow->addStretch(1);
    layout->addLayout(contentRow);

    auto* actions = new QHBoxLayout;
    m_read = MakeButton("Read from MTP", 1032);
    m_write = MakeButton("Write to MTP", 1033);
    actions->addWidget(m_read);
    actions->addWidget(m_write);
    actions->addStretch(1);
    layout->addLayout(actions);
    layout->addStretch(1);

    connect(m_read, &QPushButton::clicked, this, &CBurnEPROMDlg::OnRead);
    connect(m_write, &QPushButton::clicked, this, &CBurnEPROMDlg::OnWrite);
    connect(m_open, &QPushButton::clicked, this, &CBurnEPROMDlg::OnOpenHexFile);
    connect(m_save, &QPushButton::clicked, this, &CBurnEPROMDlg::OnSaveHexFile);
    connect(m_content, &QTextEdit::textChanged, this, &CBurnEPROMDlg::OnEditChange);
}

std::u16string CBurnEPROMDlg::ContentText() const {
    return FromQ(m_content->toPlainText());
}

void CBurnEPROMDlg::UpdateControls() {
    const bool enabled = m_bConnected != 0 && !m_engine.Gate().Busy();
    for (QWidget* w : {static_cast<QWidget*>(m_open), static_cast<QWidget*>(m_save),
                       static_cast<QWidget*>(m_read), static_cast<QWidget*>(m_write),
                       static_cast<QWidget*>(m_content)})
        w->setEnabled(enabled);
}

void CBurnEPROMDlg::SetContent(const std::u16string& text, int caret) {
    Suppress quiet(m_suppress);
    m_content->setPlainText(ToQ(text));
    QTextCursor cursor = m_content->textCursor();
    cursor.setPosition(std::clamp(caret, 0, static_cast<int>(text.size())));
    m_content->setTextCursor(cursor);
    ApplyFormats();
}

void CBurnEPROMDlg::ApplyFormats() {
    Suppress quiet(m_suppress);
    QTextCursor cursor(m_content->document());
    QTextCharFormat base;
    base.setFont(m_content->font());
    base.setForeground(QColor(0, 0, 0));
    cursor.select(QTextCursor::Document);
    cursor.setCharFormat(base);
    const int length = static_cast<int>(ContentText().size());
    QTextCharFormat red = base;
    red.setForeground(QColor(255, 0, 0));
    for (int i = 0; i < mtp::kBytes; ++i) {
        const int at = mtp::BytePosition(i);
        if (!m_changed[static_cast<std::size_t>(i)] || at + 2 > length) continue;
        cursor.setPosition(at);
        cursor.setPosition(at + 2, QTextCursor::KeepAnchor);
        cursor.setCharFormat(red);
    }
}

void CBurnEPROMDlg::ResetFormats() {
    m_changed.fill(false);
    ApplyFormats();
}

void CBurnEPROMDlg::ClearHexFile() {
    m_hexPath.clear();
    m_hexText.clear();
    m_path->clear();
}

mtp::PatchError CBurnEPROMDlg::Patch() {
    const std::u16string digits = mtp::ContentDigits(ContentText());
    const mtp::PatchError error = mtp::PatchWriter(m_writer, digits);
    if (error != mtp::PatchError::kNone) return error;
    return mtp::PatchSaveTemplate(m_saveTemplate, digits);
}

void CBurnEPROMDlg::ReadContent() {
    if (std::optional<mtp::Bytes> bytes = m_engine.Read()) {
        m_reference = mtp::FormatContent(*bytes);
        SetContent(m_reference);
    }
    ResetFormats();
    ClearHexFile();
    Patch();
}

bool CBurnEPROMDlg::LoadContentFromHexText() {
    if (m_hexText.empty()) return true;
    std::optional<std::u16string> digits =
        mtp::LoadDigitsFromHex(m_hexText, mtp::ContentDigits(ContentText()));
    if (!digits) {
        m_ports.messages.Ok(u"Incompatible file format.\n");
        return false;
    }
    const std::u16string text = mtp::LayoutDigits(*digits);
    mtp::MarkChanged(m_reference, text, m_changed);
    SetContent(text);
    m_reference = text;
    Patch();
    return true;
}

void CBurnEPROMDlg::OnRead() {
    if (m_engine.Gate().Busy()) return;
    if (!m_bConnected) {
        m_ports.messages.Ok(u"Not connected to the device.\n");
        return;
    }
    ReadContent();
}

void CBurnEPROMDlg::OnWrite() {
    if (m_engine.Gate().Busy()) return;
    if (!m_bConnected) {
        m_ports.messages.Ok(u"Not connected to the device.\n");
        return;
    }
    // Garbage is never written: the content and the writer must both patch.
    const mtp::PatchError error = Patch();
    if (error != mtp::PatchError::kNone) {
        m_ports.messages.Ok(mtp::PatchErrorText(error));
        return;
    }
    const MtpEngine::Outcome outcome = m_engine.Write(m_writer);
    if (outcome.status == MtpEngine::Status::kFinished) ResetFormats();
}

void CBurnEPROMDlg::WarnNotConnected() {
    m_ports.messages.ShowMessage(
        u"Device is not connected.  MTP content will not be displayed until a connection is "
        u"made.",
        u"Warning!", MsgButtons::Ok, MsgIcon::None);
}

void CBurnEPROMDlg::ShowPath(const std::u16string& path) {
    // As many characters as fit the box; a longer path keeps its end.
    const int average = std::max(1, m_path->fontMetrics().averageCharWidth());
    const std::size_t limit = static_cast<std::size_t>(std::max(8, m_path->width() / average));
    std::u16string shown = path;
    if (shown.size() > limit) {
        const std::size_t slash = path.find_last_of(u"/\\");
        const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
        shown = name.size() + 3 <= limit ? u"..." + path.substr(path.size() - (limit - 3)) : name;
    }
    m_path->setText(ToQ(shown));
}

void CBurnEPROMDlg::OnOpenHexFile() {
    if (m_engine.Gate().Busy()) return;
    FileDialogRequest request;
    request.filter = kHexFilter;
    request.mustExist = true;
    if (!m_bConnected) WarnNotConnected();
    std::optional<std::u16string> chosen = m_ports.files.OpenFile(request);
    if (!chosen || RefuseSpaces(*chosen, m_ports.messages)) return;
    ShowPath(*chosen);
    std::optional<std::string> text = ReadMtpHexFile(*chosen, m_ports.messages);
    if (!text) {
        ClearHexFile();
        return;
    }
    m_hexPath = *chosen;
    m_hexText = std::move(*text);
    if (m_bConnected && !LoadContentFromHexText()) ClearHexFile();
}

void CBurnEPROMDlg::OnSaveHexFile() {
    if (m_engine.Gate().Busy()) return;
    if (!m_bConnected) {
        WarnNotConnected();
        return;
    }
    const mtp::PatchError error = Patch();
    if (error != mtp::PatchError::kNone) {
        m_ports.messages.Ok(mtp::PatchErrorText(error));
        return;
    }
    FileDialogRequest request;
    request.filter = kHexFilter;
    request.defaultExtension = u"hex";
    request.proposedName = u"Hex_File";
    request.confirmOverwrite = true;
    std::optional<std::u16string> chosen = m_ports.files.SaveFile(request);
    if (!chosen || RefuseSpaces(*chosen, m_ports.messages)) return;
    WriteMtpHexFile(*chosen, m_saveTemplate, m_ports.messages);
}

void CBurnEPROMDlg::OnEditChange() {
    if (m_suppress) return;
    ClearHexFile();
    const mtp::Edit edit =
        mtp::ApplyEdit(m_reference, ContentText(), m_content->textCursor().position());
    mtp::MarkChanged(m_reference, edit.text, m_changed);
    SetContent(edit.text, edit.caret);
    m_reference = edit.text;
}

void CBurnEPROMDlg::SetConnectionState(int flag) {
    const bool change = (flag != 0) != (m_bConnected != 0);
    m_bConnected = flag;
    if (change && flag) {
        ReadContent();
        LoadContentFromHexText();
        Patch();
    } else if (change) {
        // A fresh writer each connection, so patches never pile up.
        m_writer = MtpWriterResource();
        m_reference = mtp::BlankContent();
        SetContent(m_reference);
        ResetFormats();
        ClearHexFile();
    }
    UpdateControls();
}

}  // namespace cindral
