// One long operation at a time. A compose, burn or MTP write pumps the window's
// events while it waits, so without this gate the operator could start a second
// one that would interleave two programs on one chip.
#pragma once

#include <functional>
#include <map>

namespace cindral {

class OperationGate {
  public:
    // What the running operation does to the chip, for whoever must explain a failure.
    enum class Work { kOther, kBurn, kMtpWrite };

    using Listener = std::function<void(bool busy)>;

    // The program's one gate (everything runs on the user-interface thread).
    static OperationGate& Shared() {
        static OperationGate gate;
        return gate;
    }

    bool Busy() const { return busy_; }
    Work Running() const { return busy_ ? work_ : Work::kOther; }

    // Held for the length of one operation; empty when another one runs.
    class Ticket {
      public:
        Ticket() = default;
        explicit Ticket(OperationGate* gate) : gate_(gate) {}
        Ticket(Ticket&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
        Ticket& operator=(Ticket&&) = delete;
        Ticket(const Ticket&) = delete;
        ~Ticket() {
            if (gate_) gate_->Leave();
        }
        explicit operator bool() const { return gate_ != nullptr; }

      private:
        OperationGate* gate_ = nullptr;
    };

    Ticket TryEnter(Work work = Work::kOther) {
        if (busy_) return Ticket();
        busy_ = true;
        work_ = work;
        Notify();
        return Ticket(this);
    }

    // Listeners hear every change between idle and busy.
    int AddListener(Listener listener) {
        listeners_[++lastId_] = std::move(listener);
        return lastId_;
    }
    void RemoveListener(int id) { listeners_.erase(id); }

  private:
    void Leave() {
        busy_ = false;
        Notify();
    }
    void Notify() {
        // A listener may remove itself while being told.
        auto copy = listeners_;
        for (auto& [id, listener] : copy)
            if (listeners_.count(id)) listener(busy_);
    }

    bool busy_ = false;
    Work work_ = Work::kOther;
    int lastId_ = 0;
    std::map<int, Listener> listeners_;
};

}  // namespace cindral
