// A COM port as the serial adapter link uses it: open, line settings, queue
// count, purge, timed writes and reads, and the DTR line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ordwin {

// The device path of COM n: ORDWIN_COM<n> when set, otherwise the n-th of the
// announced virtual ports and then the ports libserialport lists, each sorted
// by name. Empty when there is no such port.
std::string ComPortPath(int number);

class SerialPort {
  public:
    enum class OpenError { kNone, kNotFound, kInUse, kOther };

    SerialPort() = default;
    ~SerialPort() { Close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens exclusively and remembers the settings to restore on Close.
    OpenError Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    int CurrentBaud() const { return savedBaud_; }
    // 8N1, raw; hardware flow control when lineControl is set.
    bool Apply(int baud, bool lineControl);
    bool RestoreSaved();

    // Bytes in the receive queue; -1 when the port failed or vanished.
    int InputWaiting() const;
    // Waits up to milliseconds for input; false when the port hung up.
    bool WaitBriefly(int milliseconds) const;
    bool PurgeInput();
    bool PurgeBoth();
    // Bytes written within timeoutMs; -1 when the port failed.
    int Write(const uint8_t* data, int length, int timeoutMs);
    // One byte within timeoutMs: 1 read, 0 none yet, -1 failed.
    int ReadByte(uint8_t* value, int timeoutMs);
    bool SetDtr(bool on);

    // A pseudo-terminal that a virtual serial adapter announced.
    bool IsAnnouncedVirtual() const;

  private:
    // The descriptor on Linux; on Windows 0 while open, the handle in system_.
    int fd_ = -1;
    bool haveSaved_ = false;
    int savedBaud_ = 0;
    // The system's own state of the port: the line settings (and on Windows
    // the handle, time-outs and events) to restore and use.
    std::shared_ptr<void> system_;
};

}  // namespace ordwin
