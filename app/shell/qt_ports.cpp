#include "shell/qt_ports.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <chrono>

#include "shell/qt_text.h"

namespace cindral {

namespace {
const char* const kAppTitle = "Cindral";

// The style puts the text flush against the box's edge; give it air, and give a
// one-line message a box wide enough to read as one.
void GiveTextRoom(QMessageBox& box) {
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { margin: 8px 16px 8px 8px; }"));
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(320, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
}
}  // namespace

namespace {
QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None:
            break;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

void QtMessagePort::Notify(const std::u16string& text, MsgIcon icon) {
    auto* box = new QMessageBox(parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QString::fromLatin1(kAppTitle));
    box->setText(ToQ(text));
    box->setIcon(ToQtIcon(icon));
    box->setStandardButtons(QMessageBox::Ok);
    box->setModal(false);
    GiveTextRoom(*box);
    box->show();
}

MsgResult QtMessagePort::ShowMessage(const std::u16string& text, const std::u16string& caption,
                                     MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(caption.empty() ? QString::fromLatin1(kAppTitle) : ToQ(caption));
    // Messages carry Windows line ends; the box wants plain LF.
    QString t = ToQ(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(t);
    GiveTextRoom(box);
    box.setIcon(ToQtIcon(icon));
    switch (buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNoDefaultNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MsgResult::Ok;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        default:
            return MsgResult::Cancel;
    }
}

QString QtFileDialogPort::ToQtFilter(const std::u16string& filter) {
    const QStringList parts = ToQ(filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString name = parts[i];
        // The Windows caption already names its patterns in brackets; Qt reads
        // them from there, separated by spaces.
        if (name.contains(QLatin1Char('(')))
            name.replace(QLatin1Char(';'), QLatin1Char(' '));
        else
            name += QStringLiteral(" (") + patterns + ')';
        out << name;
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<std::u16string> QtFileDialogPort::Run(QFileDialog& dialog,
                                                    const FileDialogRequest& r) {
    QString path;
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        path = dialog.selectedFiles().first();
        if (!r.confirmCreate || dialog.acceptMode() != QFileDialog::AcceptSave ||
            QFileInfo::exists(path))
            break;
        // No keeps the dialog open for another name, as a save dialog that asks does.
        const QString question = QStringLiteral("%1 does not exist.\nDo you want to create it?")
                                     .arg(QFileInfo(path).fileName());
        QMessageBox ask(QMessageBox::Question, dialog.windowTitle(), question,
                        QMessageBox::Yes | QMessageBox::No, &dialog);
        ask.setDefaultButton(QMessageBox::Yes);
        GiveTextRoom(ask);
        if (ask.exec() == QMessageBox::Yes) break;
        dialog.selectFile(QFileInfo(path).fileName());
    }
    // The next dialog for the same kind of file opens where this one ended.
    lastDirectory_[r.filter] = QFileInfo(path).absolutePath();
    return FromQ(path);
}

std::optional<std::u16string> QtFileDialogPort::OpenFile(const FileDialogRequest& r) {
    QFileDialog dialog(parent_);
    if (auto dir = lastDirectory_.find(r.filter); dir != lastDirectory_.end())
        dialog.setDirectory(dir->second);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(r.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(ToQtFilter(r.filter));
    dialog.setDefaultSuffix(ToQ(r.defaultExtension));
    if (!r.proposedName.empty()) dialog.selectFile(ToQ(r.proposedName));
    return Run(dialog, r);
}

std::optional<std::u16string> QtFileDialogPort::SaveFile(const FileDialogRequest& r) {
    QFileDialog dialog(parent_);
    if (auto dir = lastDirectory_.find(r.filter); dir != lastDirectory_.end())
        dialog.setDirectory(dir->second);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(ToQtFilter(r.filter));
    dialog.setDefaultSuffix(ToQ(r.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
    if (!r.proposedName.empty()) dialog.selectFile(ToQ(r.proposedName));
    return Run(dialog, r);
}

void QtSleepPort::Sleep(int milliseconds) {
    if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

long long QtSleepPort::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void QtMessagePump::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

struct QtProgressPort::Entry {
    std::unique_ptr<QProgressDialog> dialog;
    QString status;
    QString percent;
    bool cancelled = false;

    void ShowLabel() {
        dialog->setLabelText(percent.isEmpty() ? status : status + QStringLiteral("   ") + percent);
    }
};

QtProgressPort::QtProgressPort(QWidget* mainWindow) : main_(mainWindow) {}

QtProgressPort::~QtProgressPort() {
    if (!dialogs_.empty() && main_) main_->setEnabled(true);
}

QtProgressPort::Entry* QtProgressPort::Find(void* dialog) {
    auto it = dialogs_.find(dialog);
    return it == dialogs_.end() ? nullptr : it->second.get();
}

void* QtProgressPort::Create(const std::u16string& caption, const std::u16string& status, int lower,
                             int upper) {
    auto entry = std::make_unique<Entry>();
    // Parentless so that it stays usable while the main window is disabled.
    entry->dialog = std::make_unique<QProgressDialog>();
    QProgressDialog* d = entry->dialog.get();
    d->setWindowTitle(ToQ(caption));
    entry->status = ToQ(status);
    entry->ShowLabel();
    d->setCancelButtonText(QStringLiteral("Cancel"));
    d->setRange(lower, upper < lower ? lower : upper);
    d->setMinimumDuration(0);
    d->setAutoClose(false);
    d->setAutoReset(false);
    d->setWindowModality(Qt::NonModal);
    Entry* raw = entry.get();
    QObject::connect(d, &QProgressDialog::canceled, [raw] { raw->cancelled = true; });
    d->show();
    if (main_) main_->setEnabled(false);
    void* handle = d;
    dialogs_[handle] = std::move(entry);
    QCoreApplication::processEvents();
    return handle;
}

void QtProgressPort::SetPosition(void* dialog, int position, const std::u16string* percentText) {
    Entry* e = Find(dialog);
    if (e == nullptr) return;
    e->dialog->setValue(position);
    if (percentText) {
        e->percent = ToQ(*percentText);
        e->ShowLabel();
    }
    QCoreApplication::processEvents();
}

void QtProgressPort::SetStatus(void* dialog, const std::u16string& status) {
    Entry* e = Find(dialog);
    if (e == nullptr) return;
    e->status = ToQ(status);
    e->ShowLabel();
    QCoreApplication::processEvents();
}

bool QtProgressPort::Cancelled(void* dialog) {
    Entry* e = Find(dialog);
    if (e == nullptr) return false;
    QCoreApplication::processEvents();
    bool was = e->cancelled;
    e->cancelled = false;
    return was;
}

void QtProgressPort::Destroy(void* dialog) {
    auto it = dialogs_.find(dialog);
    if (it == dialogs_.end()) return;
    dialogs_.erase(it);
    if (dialogs_.empty() && main_) main_->setEnabled(true);
}

}  // namespace cindral
