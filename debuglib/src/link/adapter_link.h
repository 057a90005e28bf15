// The transport to the debug adapter: a USB HID adapter through Wickport, or
// a serial adapter on a COM port.
#pragma once

#include <cstdint>
#include <string>

namespace ordwin {

struct DebugContext;

inline constexpr int kAdapterSerial = 2;
inline constexpr int kAdapterUsb = 3;

class AdapterLink {
  public:
    explicit AdapterLink(DebugContext& context);

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
    // The three receive variants differ only on the serial adapter.
    int32_t ReceiveBytes(uint8_t* buffer, int length);
    int32_t ReceiveData(uint8_t* buffer, int length) { return ReceiveBytes(buffer, length); }
    int32_t ReceiveReply(uint8_t* buffer, int length) { return ReceiveBytes(buffer, length); }
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

    // Records the product id of the chosen USB adapter in the context.
    void NoteProductId(int productId);

  private:
    int OpenUsb();
    int ResetUsbAdapter();

    DebugContext& context_;
    int adapterType_ = kAdapterSerial;
    int open_ = 0;
    bool automaticBaud_ = false;
    int baudRate_ = 115200;
    bool lineControl_ = true;
};

}  // namespace ordwin
