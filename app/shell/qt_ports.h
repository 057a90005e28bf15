// The production ports: Qt message boxes, file dialogs, sleeping and the event loop.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "core/ports.h"

class QProgressDialog;

class QFileDialog;

namespace cindral {

class QtMessagePort final : public IMessagePort {
  public:
    explicit QtMessagePort(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    MsgResult ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MsgButtons buttons, MsgIcon icon) override;
    // A modeless box: the caller goes on at once.
    void Notify(const std::u16string& text, MsgIcon icon) override;

  private:
    QPointer<QWidget> parent_;
};

class QtFileDialogPort final : public IFileDialogPort {
  public:
    explicit QtFileDialogPort(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::u16string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::u16string> SaveFile(const FileDialogRequest& request) override;

    // "Name (*.x)|*.x|All Files (*.*)|*.*||" as a Qt filter list.
    static QString ToQtFilter(const std::u16string& filter);

  private:
    std::optional<std::u16string> Run(QFileDialog& dialog, const FileDialogRequest& request);

    QPointer<QWidget> parent_;
    // Per filter, the folder of the last file chosen in this session.
    std::map<std::u16string, QString> lastDirectory_;
};

class QtSleepPort final : public ISleepPort {
  public:
    void Sleep(int milliseconds) override;
    long long NowMs() override;
};

class QtMessagePump final : public IMessagePump {
  public:
    void PumpMessages() override;
};

// Modeless progress dialogs; while one is up the main window takes no input.
class QtProgressPort final : public IProgressPort {
  public:
    explicit QtProgressPort(QWidget* mainWindow = nullptr);
    ~QtProgressPort() override;
    void SetMainWindow(QWidget* mainWindow) { main_ = mainWindow; }

    void* Create(const std::u16string& caption, const std::u16string& status, int lower,
                 int upper) override;
    void SetPosition(void* dialog, int position, const std::u16string* percentText) override;
    void SetStatus(void* dialog, const std::u16string& status) override;
    bool Cancelled(void* dialog) override;
    void Destroy(void* dialog) override;

  private:
    struct Entry;
    Entry* Find(void* dialog);
    QPointer<QWidget> main_;
    std::map<void*, std::unique_ptr<Entry>> dialogs_;
};

}  // namespace cindral
