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

namespace ctl = ids::mtp;

const char16_t* const kHexFilter = u"Hex File (*.hex)|*.hex|All Files (*.*)|*.*||";

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
      ports_(ports),
      engine_(ordwin, ports.messages, ports.sleep),
      writer_(MtpWriterResource()),
      reference_(mtp::kInitialContent) {
    BuildControls();
    SetContent(reference_);
    ResetFormats();
    engine_.onWait = [](bool waiting) {
        if (waiting) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    gateListener_ = engine_.Gate().AddListener([this](bool) { UpdateControls(); });
    UpdateControls();
}

CBurnEPROMDlg::~CBurnEPROMDlg() {
    engine_.Gate().RemoveListener(gateListener_);
}

void CBurnEPROMDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* fileRow = new QHBoxLayout;
    path_ = new QLineEdit;
    SetControlId(*path_, ctl::kHexPathEdit);
    path_->setReadOnly(true);
    fileRow->addWidget(path_, 1);
    open_ = MakePageButton("Open Hex File...", ctl::kOpenHexButton);
    save_ = MakePageButton("Save Hex File...", ctl::kSaveHexButton);
    fileRow->addWidget(open_);
    fileRow->addWidget(save_);
    layout->addLayout(fileRow);

    layout->addWidget(new QLabel(QStringLiteral("MTP Content:")));
    auto* contentRow = new QHBoxLayout;
    contentRow->addWidget(new QLabel(QStringLiteral("0x00 ...")));
    content_ = new QTextEdit;
    SetControlId(*content_, ctl::kContentEdit);
    content_->setAcceptRichText(false);
    content_->setUndoRedoEnabled(false);
    content_->setLineWrapMode(QTextEdit::NoWrap);
    content_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_->setTabChangesFocus(true);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setFixedPitch(true);
    // Where no Courier is installed its stand-in is thin and small beside the
    // rest of the page; the desktop's own fixed font reads better at the same size.
    const QFontInfo resolved(courier);
    if (!resolved.fixedPitch() || !resolved.family().startsWith(QLatin1String("Courier"))) {
        const qreal size = courier.pointSizeF();
        courier = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (size > 0) courier.setPointSizeF(size);
    }
    content_->setFont(courier);
    content_->document()->setDefaultFont(courier);
    const QFontMetrics metrics(courier);
    const int frame = 2 * (content_->frameWidth() + 4);
    content_->setFixedSize(
        metrics.horizontalAdvance(QString(mtp::kPositions, QLatin1Char('0'))) + frame,
        metrics.height() + frame);
    contentRow->addWidget(content_);
    contentRow->addWidget(new QLabel(QStringLiteral("... 0x0F")));
    contentRow->addStretch(1);
    layout->addLayout(contentRow);

    auto* actions = new QHBoxLayout;
    read_ = MakePageButton("Read from MTP", 1032);
    write_ = MakePageButton("Write to MTP", 1033);
    actions->addWidget(read_);
    actions->addWidget(write_);
    actions->addStretch(1);
    layout->addLayout(actions);
    layout->addStretch(1);

    connect(read_, &QPushButton::clicked, this, &CBurnEPROMDlg::OnRead);
    connect(write_, &QPushButton::clicked, this, &CBurnEPROMDlg::OnWrite);
    connect(open_, &QPushButton::clicked, this, &CBurnEPROMDlg::OnOpenHexFile);
    connect(save_, &QPushButton::clicked, this, &CBurnEPROMDlg::OnSaveHexFile);
    connect(content_, &QTextEdit::textChanged, this, &CBurnEPROMDlg::OnEditChange);
}

std::u16string CBurnEPROMDlg::ContentText() const {
    return FromQ(content_->toPlainText());
}

void CBurnEPROMDlg::UpdateControls() {
    const bool enabled = bConnected_ != 0 && !engine_.Gate().Busy();
    for (QWidget* w :
         {static_cast<QWidget*>(open_), static_cast<QWidget*>(save_), static_cast<QWidget*>(read_),
          static_cast<QWidget*>(write_), static_cast<QWidget*>(content_)})
        w->setEnabled(enabled);
    // The digits carry their own colour, so a disabled box must be told to grey them.
    ApplyFormats();
}

void CBurnEPROMDlg::SetContent(const std::u16string& text, int caret) {
    Suppress quiet(suppress_);
    content_->setPlainText(ToQ(text));
    QTextCursor cursor = content_->textCursor();
    cursor.setPosition(std::clamp(caret, 0, static_cast<int>(text.size())));
    content_->setTextCursor(cursor);
    ApplyFormats();
}

void CBurnEPROMDlg::ApplyFormats() {
    Suppress quiet(suppress_);
    QTextCursor cursor(content_->document());
    QTextCharFormat base;
    base.setFont(content_->font());
    base.setForeground(content_->isEnabled()
                           ? QColor(0, 0, 0)
                           : content_->palette().color(QPalette::Disabled, QPalette::Text));
    cursor.select(QTextCursor::Document);
    cursor.setCharFormat(base);
    const int length = static_cast<int>(ContentText().size());
    QTextCharFormat red = base;
    red.setForeground(QColor(255, 0, 0));
    for (int i = 0; i < mtp::kBytes; ++i) {
        const int at = mtp::BytePosition(i);
        if (!changed_[static_cast<std::size_t>(i)] || at + 2 > length) continue;
        cursor.setPosition(at);
        cursor.setPosition(at + 2, QTextCursor::KeepAnchor);
        cursor.setCharFormat(red);
    }
}

void CBurnEPROMDlg::ResetFormats() {
    changed_.fill(false);
    ApplyFormats();
}

void CBurnEPROMDlg::ClearHexFile() {
    hexPath_.clear();
    hexText_.clear();
    path_->clear();
}

mtp::PatchError CBurnEPROMDlg::Patch() {
    const std::u16string digits = mtp::ContentDigits(ContentText());
    const mtp::PatchError error = mtp::PatchWriter(writer_, digits);
    if (error != mtp::PatchError::kNone) return error;
    return mtp::PatchSaveTemplate(saveTemplate_, digits);
}

void CBurnEPROMDlg::ReadContent() {
    if (std::optional<mtp::Bytes> bytes = engine_.Read()) {
        reference_ = mtp::FormatContent(*bytes);
        SetContent(reference_);
    }
    ResetFormats();
    ClearHexFile();
    Patch();
}

bool CBurnEPROMDlg::LoadContentFromHexText() {
    if (hexText_.empty()) return true;
    std::optional<std::u16string> digits =
        mtp::LoadDigitsFromHex(hexText_, mtp::ContentDigits(ContentText()));
    if (!digits) {
        ports_.messages.Ok(u"Incompatible file format.\n");
        return false;
    }
    const std::u16string text = mtp::LayoutDigits(*digits);
    mtp::MarkChanged(reference_, text, changed_);
    SetContent(text);
    reference_ = text;
    Patch();
    return true;
}

void CBurnEPROMDlg::OnRead() {
    if (engine_.Gate().Busy()) return;
    if (!bConnected_) {
        ports_.messages.Ok(u"Not connected to the device.\n");
        return;
    }
    ReadContent();
}

void CBurnEPROMDlg::OnWrite() {
    if (engine_.Gate().Busy()) return;
    if (!bConnected_) {
        ports_.messages.Ok(u"Not connected to the device.\n");
        return;
    }
    // Garbage is never written: the content and the writer must both patch.
    const mtp::PatchError error = Patch();
    if (error != mtp::PatchError::kNone) {
        ports_.messages.Ok(mtp::PatchErrorText(error));
        return;
    }
    const MtpEngine::Outcome outcome = engine_.Write(writer_);
    if (outcome.status == MtpEngine::Status::kFinished) ResetFormats();
    if (outcome.status != MtpEngine::Status::kRefused && onWriteEnded)
        onWriteEnded(outcome.message);
}

void CBurnEPROMDlg::WarnNotConnected() {
    ports_.messages.ShowMessage(
        u"Device is not connected.  MTP content will not be displayed until a connection is "
        u"made.",
        u"Warning!", MsgButtons::Ok, MsgIcon::None);
}

void CBurnEPROMDlg::ShowPath(const std::u16string& path) {
    // As many characters as fit the box; a longer path keeps its end.
    const int average = std::max(1, path_->fontMetrics().averageCharWidth());
    const std::size_t limit = static_cast<std::size_t>(std::max(8, path_->width() / average));
    std::u16string shown = path;
    if (shown.size() > limit) {
        const std::size_t slash = path.find_last_of(u"/\\");
        const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
        shown = name.size() + 3 <= limit ? u"..." + path.substr(path.size() - (limit - 3)) : name;
    }
    path_->setText(ToQ(shown));
}

void CBurnEPROMDlg::OnOpenHexFile() {
    if (engine_.Gate().Busy()) return;
    FileDialogRequest request;
    request.filter = kHexFilter;
    request.mustExist = true;
    if (!bConnected_) WarnNotConnected();
    std::optional<std::u16string> chosen = ports_.files.OpenFile(request);
    if (!chosen || RefuseSpaces(*chosen, ports_.messages)) return;
    ShowPath(*chosen);
    std::optional<std::string> text = ReadMtpHexFile(*chosen, ports_.messages);
    if (!text) {
        ClearHexFile();
        return;
    }
    hexPath_ = *chosen;
    hexText_ = std::move(*text);
    if (bConnected_ && !LoadContentFromHexText()) ClearHexFile();
}

void CBurnEPROMDlg::OnSaveHexFile() {
    if (engine_.Gate().Busy()) return;
    if (!bConnected_) {
        WarnNotConnected();
        return;
    }
    const mtp::PatchError error = Patch();
    if (error != mtp::PatchError::kNone) {
        ports_.messages.Ok(mtp::PatchErrorText(error));
        return;
    }
    FileDialogRequest request;
    request.filter = kHexFilter;
    request.defaultExtension = u"hex";
    request.proposedName = u"Hex_File";
    request.confirmOverwrite = true;
    request.confirmCreate = true;
    std::optional<std::u16string> chosen = ports_.files.SaveFile(request);
    if (!chosen || RefuseSpaces(*chosen, ports_.messages)) return;
    WriteMtpHexFile(*chosen, saveTemplate_, ports_.messages);
}

void CBurnEPROMDlg::OnEditChange() {
    if (suppress_) return;
    ClearHexFile();
    const mtp::Edit edit =
        mtp::ApplyEdit(reference_, ContentText(), content_->textCursor().position());
    mtp::MarkChanged(reference_, edit.text, changed_);
    SetContent(edit.text, edit.caret);
    reference_ = edit.text;
}

void CBurnEPROMDlg::SetConnectionState(int flag) {
    const bool change = (flag != 0) != (bConnected_ != 0);
    bConnected_ = flag;
    if (change && flag) {
        ReadContent();
        LoadContentFromHexText();
        Patch();
    } else if (change) {
        // A fresh writer each connection, so patches never pile up.
        writer_ = MtpWriterResource();
        reference_ = mtp::BlankContent();
        SetContent(reference_);
        ResetFormats();
        ClearHexFile();
    }
    UpdateControls();
}

}  // namespace cindral
