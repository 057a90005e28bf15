// Everything the pages need from the desktop, behind small interfaces: production
// code plugs in Qt dialogs and the Qt event loop, tests plug in scripted answers.
#pragma once

#include <optional>
#include <string>

namespace cindral {

// YesNoDefaultNo: Yes and No with No as the default button, for questions
// whose careless answer cannot be undone.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MsgIcon { None, Information, Exclamation, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No };

class IMessagePort {
  public:
    virtual ~IMessagePort() = default;
    // An empty caption means the application's own title.
    virtual MsgResult ShowMessage(const std::u16string& text, const std::u16string& caption,
                                  MsgButtons buttons, MsgIcon icon) = 0;

    MsgResult Ok(const std::u16string& text, MsgIcon icon = MsgIcon::None) {
        return ShowMessage(text, u"", MsgButtons::Ok, icon);
    }
    // A note that must not hold up what is running (a burn keeps polling its
    // chip meanwhile). Ports that cannot show one without waiting show a box.
    virtual void Notify(const std::u16string& text, MsgIcon icon) { Ok(text, icon); }
};

struct FileDialogRequest {
    std::u16string filter;  // "Caption (*.ext)|*.ext|All Files (*.*)|*.*||"
    std::u16string defaultExtension;
    std::u16string proposedName;
    bool mustExist = false;
    bool confirmOverwrite = false;
    // Save dialogs: ask before a file that does not exist yet is created.
    bool confirmCreate = false;
};

class IFileDialogPort {
  public:
    virtual ~IFileDialogPort() = default;
    // The chosen path, or nothing when the operator cancelled.
    virtual std::optional<std::u16string> OpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::u16string> SaveFile(const FileDialogRequest& request) = 0;
};

// Sleeping and the steady clock that deadlines are measured on; tests give
// both in virtual time.
class ISleepPort {
  public:
    virtual ~ISleepPort() = default;
    virtual void Sleep(int milliseconds) = 0;
    // Milliseconds on a clock that never goes back.
    virtual long long NowMs() = 0;
};

class IMessagePump {
  public:
    virtual ~IMessagePump() = default;
    // Runs whatever events are waiting, then returns.
    virtual void PumpMessages() = 0;
};

// Modeless progress dialog with a Cancel button, for the library's long operations.
class IProgressPort {
  public:
    virtual ~IProgressPort() = default;
    virtual void* Create(const std::u16string& caption, const std::u16string& status, int lower,
                         int upper) = 0;
    virtual void SetPosition(void* dialog, int position, const std::u16string* percentText) = 0;
    virtual void SetStatus(void* dialog, const std::u16string& status) = 0;
    virtual bool Cancelled(void* dialog) = 0;
    virtual void Destroy(void* dialog) = 0;
};

struct Ports {
    IMessagePort& messages;
    IFileDialogPort& files;
    ISleepPort& sleep;
    IMessagePump& pump;
};

}  // namespace cindral
