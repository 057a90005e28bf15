// The transport to the debug adapter: a USB HID adapter through Wickport, or
// a serial adapter on a COM port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ordwin {

struct DebugContext;

inline constexpr int kAdapterSerial = 2;
inline constexpr int kAdapterUsb = 3;

class SerialPort;

class AdapterLink {
  public:
    using Clock = std::function<uint64_t()>;  // milliseconds

    explicit AdapterLink(DebugContext& context);
    ~AdapterLink();

    void SetLinkType(int type) { adapterType_ = type; }
    int LinkType() const { return adapterType_; }
    bool IsUsb() const { return adapterType_ == kAdapterUsb; }

    // 1 when the transport opened, 0 when it did not (the reason was shown).
    int OpenLink();
    // 1 when the transport is closed afterwards.
    int CloseLink();
    int IsLinkOpen() const { return open_; }

    int32_t PurgeInput();
    int32_t SendPacket(int length, const uint8_t* packet);
    // The three receive variants differ only on the serial adapter: a data
    // reply waits for its trailing byte and leaves it queued, a firmware reply
    // or status byte waits for exactly its length, the handshake reads only
    // what is already there.
    enum class Receive { kData, kExact, kNoWait };
    int32_t ReceiveBytes(uint8_t* buffer, int length, Receive kind = Receive::kData);
    int32_t ReceiveData(uint8_t* buffer, int length) {
        return ReceiveBytes(buffer, length, Receive::kData);
    }
    int32_t ReceiveReply(uint8_t* buffer, int length) {
        return ReceiveBytes(buffer, length, Receive::kExact);
    }
    int32_t ReadStatusByte();
    int32_t DecodeStatus(uint8_t status) const;

    // Hands a read time-out to the HID library and remembers it.
    int32_t SetUsbTimeout(int milliseconds);
    // Resets the adapter; 1 on success, 0 on failure. The level drives the
    // serial adapter's reset line and is ignored on USB.
    int ResetAdapter(int level);

    // Data bytes per block-read packet on this transport.
    int ReadChunk() const;
    // Data bytes per memory-write packet on this transport.
    int WriteChunk() const;

    // Serial line settings, kept for the serial transport.
    void SetAutomaticBaud(bool on) { automaticBaud_ = on; }
    bool AutomaticBaud() const { return automaticBaud_; }
    void SetBaudRate(int rate) { baudRate_ = rate; }
    int BaudRate() const { return baudRate_; }
    void SetLineControl(bool on) { lineControl_ = on; }
    bool LineControl() const { return lineControl_; }
    // Builds the device path and the "COMn" name of a COM port number.
    void SetComPort(int number);
    const std::string& PortName() const { return portName_; }
    // The rate the open serial port runs at.
    int OpenBaudRate() const { return openBaud_; }
    // True when the open serial port is a virtual adapter's pseudo-terminal.
    bool IsVirtualSerial() const;

    // How long a serial receive waits in all, and its clock (tests shorten both).
    void SetReceiveBudget(int milliseconds) { receiveBudgetMs_ = milliseconds; }
    void SetClock(Clock clock);
    // The pause of reset pulses, handshakes and version reads (tests may
    // replace it). A USB link leaves it to the HID library, so that a virtual
    // adapter can take it on its own clock; a real one sleeps the same.
    using Pause = std::function<void(int milliseconds)>;
    void SetPause(Pause pause);
    void Wait(int milliseconds) const { pause_(milliseconds); }

    // Records the product id of the chosen USB adapter in the context.
    void NoteProductId(int productId);

  private:
    int OpenUsb();
    int ResetUsbAdapter();
    int OpenSerial();
    int32_t ReceiveSerial(uint8_t* buffer, int length, Receive kind);
    // A port that failed under a transfer is closed, so nothing waits on it again.
    int32_t PortLost(int32_t code);
    void DefaultPause(int milliseconds) const;
    // A USB transfer's result; a failure becomes `code` (0: kept) and brings
    // the HID layer's reason into that code's message.
    int32_t UsbOutcome(int32_t result, int32_t code = 0);

    DebugContext& context_;
    int adapterType_ = kAdapterSerial;
    int open_ = 0;
    bool automaticBaud_ = false;
    int baudRate_ = 115200;
    bool lineControl_ = true;
    std::string devicePath_;
    std::string portName_;
    int openBaud_ = 0;
    int receiveBudgetMs_;
    Clock clock_;
    Pause pause_;
    std::unique_ptr<SerialPort> port_;
};

}  // namespace ordwin
