// Listing adapters and connecting to the Zeltra behind one, with the messages the
// operator sees. The window keeps the state; this holds the calls and their rules.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ordwin_api.h"
#include "ports.h"

namespace cindral {

// Longest serial number handed to the library, terminator excluded.
constexpr std::size_t kSerialBufferSize = 128;

class AdapterConnection {
  public:
    AdapterConnection(IOrdwin& ordwin, IMessagePort& messages)
        : ordwin_(ordwin), messages_(messages) {}

    // Serial numbers of the attached adapters in enumeration order; failures are silent.
    std::vector<std::string> ListAdapters();

    // Connects over C2 and accepts only a Zeltra. Any other outcome leaves the
    // library disconnected. True when connected. When `libraryTold` says the
    // library already explained a failed connect in a box of its own, the
    // operator is not told the same failure a second time.
    bool Connect(const std::string& serialNumber,
                 const std::function<bool()>& libraryTold = nullptr);

    // True when the library let go of the adapter, also when it already had
    // (it drops a target that stops answering); *alreadyLetGo tells which.
    bool Disconnect(bool* alreadyLetGo = nullptr);

  private:
    IOrdwin& ordwin_;
    IMessagePort& messages_;
};

// What was running when the adapter went away, and what the operator is told.
enum class LostDuring { kNothing, kBurn, kMtpWrite };
std::u16string AdapterLostText(LostDuring what);

// Sits between everything that shows messages while connected (the library, the
// pages, the window) and the real message port. Once the connected adapter has
// gone from the adapter list, the boxes that the failing calls raise one after
// another are held back (questions get their negative answer, so nothing tries
// to reconnect a gone adapter) until the window has told the operator once.
class AdapterLossFilter final : public IMessagePort {
  public:
    // `present` tells whether the connected adapter is still listed; `onLost`
    // runs once when the filter first finds it gone.
    AdapterLossFilter(IMessagePort& inner, std::function<bool()> present,
                      std::function<void()> onLost)
        : inner_(inner), present_(std::move(present)), onLost_(std::move(onLost)) {}

    MsgResult ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MsgButtons buttons, MsgIcon icon) override;
    void Notify(const std::u16string& text, MsgIcon icon) override;

    // Only a connection can be lost; off while not connected.
    void Watch(bool on) { watching_ = on; }
    // Checks the adapter list now; true when the adapter is (already) known gone.
    bool CheckLost();
    bool Lost() const { return lost_; }
    // Boxes that reached the operator so far.
    int Passed() const { return passed_; }
    // The operator was told: messages pass again.
    void Reset() { lost_ = false; }
    IMessagePort& Inner() { return inner_; }

  private:
    IMessagePort& inner_;
    std::function<bool()> present_;
    std::function<void()> onLost_;
    bool watching_ = false;
    bool lost_ = false;
    int passed_ = 0;
};

}  // namespace cindral
