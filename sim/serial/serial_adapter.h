// A virtual serial debug adapter: one virtual adapter (the same command
// handling and chip as the USB one) behind a pseudo-terminal, with the serial
// side's own framing, handshake and trailing byte.
//
// A pseudo-terminal has no modem lines, so the handshake byte stands for the
// DTR reset the adapter cannot see. The faults short and extra hit target data
// replies only: the trailing byte is missing, or two more bytes follow it.
// With speed=real (the default) the line carries 10 bits a byte at the rate
// the host set, in both directions.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "virtual_adapter.h"

namespace zsim {

class SerialAdapterServer {
  public:
    // Opens the pseudo-terminal, points `link` at its slave and announces the
    // port to the library. Null and *error when that fails or an option is bad.
    static std::unique_ptr<SerialAdapterServer> Create(const std::string& link,
                                                       const std::string& serial,
                                                       const AdapterOptions& options,
                                                       std::string* error);
    ~SerialAdapterServer();
    SerialAdapterServer(const SerialAdapterServer&) = delete;
    SerialAdapterServer& operator=(const SerialAdapterServer&) = delete;

    const std::string& Link() const { return link_; }
    // Answers the host until stop is set or the adapter was unplugged.
    void Serve(const std::atomic<bool>& stop);

    // The line rate the host had set when it last sent the handshake.
    int HandshakeBaud() const { return handshake_baud_; }
    // Sets the line rate as another program could have left it.
    bool SetLineBaud(int baud);
    // Bytes that crossed the line in each direction.
    uint64_t BytesFromHost() const { return from_host_; }
    uint64_t BytesToHost() const { return to_host_; }

  private:
    SerialAdapterServer() = default;
    // Handles every whole frame at the front of the input; false once gone.
    bool Process();
    void Answer(const uint8_t* bytes, size_t length);
    // How long the line takes for one byte at the host's rate; 0 unless the
    // adapter keeps real time.
    std::chrono::nanoseconds ByteTime() const;

    std::unique_ptr<VirtualAdapter> adapter_;
    int master_ = -1;
    int slave_ = -1;
    std::string link_;
    std::string announcement_;
    std::string input_;
    std::atomic<int> handshake_baud_{0};
    std::atomic<uint64_t> from_host_{0};
    std::atomic<uint64_t> to_host_{0};
    // When the line is free again in each direction (speed=real).
    std::chrono::steady_clock::time_point line_in_{};
    std::chrono::steady_clock::time_point line_out_{};
};

// Bytes of the command frame that starts `bytes`, from its first bytes; 0
// when the code is unknown (the frame is then whatever has arrived).
size_t SerialFrameLength(const uint8_t* bytes, size_t available);

}  // namespace zsim
