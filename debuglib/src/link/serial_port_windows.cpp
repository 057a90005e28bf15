// The serial adapter link on a Windows COM device: exclusive overlapped
// handle, the line settings in a DCB, fixed time-outs saved and restored,
// purges and the DTR line.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "link/serial_port.h"

namespace ordwin {
namespace {

struct ComState {
    HANDLE handle = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS savedTimeouts{};
    bool haveTimeouts = false;
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    ~ComState() {
        if (readEvent) CloseHandle(readEvent);
        if (writeEvent) CloseHandle(writeEvent);
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

ComState* State(const std::shared_ptr<void>& system) {
    return static_cast<ComState*>(system.get());
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Waits for an overlapped transfer up to timeoutMs; cancels it when it did
// not finish. Returns the bytes moved, or -1 when the port failed.
int Finish(HANDLE port, OVERLAPPED* o, BOOL started, DWORD moved, int timeoutMs) {
    if (started) return static_cast<int>(moved);
    if (GetLastError() != ERROR_IO_PENDING) return -1;
    const DWORD r = WaitForSingleObject(o->hEvent, static_cast<DWORD>(timeoutMs));
    if (r != WAIT_OBJECT_0) CancelIo(port);
    // After a cancel the result still tells what got through.
    if (!GetOverlappedResult(port, o, &moved, TRUE))
        return GetLastError() == ERROR_OPERATION_ABORTED ? static_cast<int>(moved) : -1;
    return static_cast<int>(moved);
}

}  // namespace

std::string ComPortPath(int number) {
    if (number < 1) return {};
    const std::string variable = "ORDWIN_COM" + std::to_string(number);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') {
        return path;
    }
    // The device path of COMn; the prefix also reaches ports above COM9.
    return "\\\\.\\COM" + std::to_string(number);
}

SerialPort::OpenError SerialPort::Open(const std::string& path) {
    Close();
    auto state = std::make_shared<ComState>();
    // Exclusive (no sharing) and overlapped.
    state->handle = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (state->handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return OpenError::kNotFound;
        if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION) return OpenError::kInUse;
        return OpenError::kOther;
    }
    state->readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state->readEvent || !state->writeEvent) return OpenError::kOther;
    PurgeComm(state->handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    state->haveTimeouts = GetCommTimeouts(state->handle, &state->savedTimeouts) != 0;
    // A byte is read only once it is queued, so these bound only a port
    // that stopped answering.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 1000;
    t.ReadTotalTimeoutConstant = 1000;
    t.WriteTotalTimeoutConstant = 1000;
    SetCommTimeouts(state->handle, &t);
    SetupComm(state->handle, 4096, 4096);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    haveSaved_ = GetCommState(state->handle, &dcb) != 0;
    savedBaud_ = haveSaved_ ? static_cast<int>(dcb.BaudRate) : 0;
    system_ = std::move(state);
    fd_ = 0;
    return OpenError::kNone;
}

void SerialPort::Close() {
    if (fd_ < 0) return;
    if (ComState* s = State(system_); s && s->haveTimeouts)
        SetCommTimeouts(s->handle, &s->savedTimeouts);
    system_.reset();
    fd_ = -1;
    haveSaved_ = false;
}

bool SerialPort::Apply(int baud, bool lineControl) {
    ComState* s = State(system_);
    if (fd_ < 0 || !s) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(s->handle, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = lineControl ? TRUE : FALSE;
    dcb.fRtsControl = lineControl ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    // DTR is driven by the adapter reset alone.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = 8;
    dcb.XoffLim = 8;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EvtChar = 0;
    if (!SetCommState(s->handle, &dcb)) return false;
    return SetCommMask(s->handle, 0xDF) != 0;
}

bool SerialPort::RestoreSaved() {
    ComState* s = State(system_);
    if (fd_ < 0 || !s || !s->haveTimeouts) return false;
    return SetCommTimeouts(s->handle, &s->savedTimeouts) != 0;
}

int SerialPort::InputWaiting() const {
    ComState* s = State(system_);
    if (fd_ < 0 || !s) return -1;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(s->handle, &errors, &stat)) return -1;
    return static_cast<int>(stat.cbInQue);
}

bool SerialPort::WaitBriefly(int milliseconds) const {
    if (fd_ < 0) return false;
    // The queue is polled by the caller; a short sleep keeps that cheap.
    Sleep(static_cast<DWORD>(milliseconds < 1 ? 1 : milliseconds));
    return InputWaiting() >= 0;
}

bool SerialPort::PurgeInput() {
    ComState* s = State(system_);
    return fd_ >= 0 && s && PurgeComm(s->handle, PURGE_RXABORT | PURGE_RXCLEAR) != 0;
}

bool SerialPort::PurgeBoth() {
    ComState* s = State(system_);
    return fd_ >= 0 && s &&
           PurgeComm(s->handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
}

int SerialPort::Write(const uint8_t* data, int length, int timeoutMs) {
    ComState* s = State(system_);
    if (fd_ < 0 || !s) return -1;
    OVERLAPPED o{};
    o.hEvent = s->writeEvent;
    ResetEvent(o.hEvent);
    DWORD written = 0;
    const BOOL done = WriteFile(s->handle, data, static_cast<DWORD>(length), &written, &o);
    return Finish(s->handle, &o, done, written, timeoutMs);
}

int SerialPort::ReadByte(uint8_t* value, int timeoutMs) {
    ComState* s = State(system_);
    if (fd_ < 0 || !s) return -1;
    // Waits for a queued byte first, so the read itself completes at once.
    for (int waited = 0;; waited += 1) {
        const int queued = InputWaiting();
        if (queued < 0) return -1;
        if (queued > 0) break;
        if (waited >= timeoutMs) return 0;
        Sleep(1);
    }
    OVERLAPPED o{};
    o.hEvent = s->readEvent;
    ResetEvent(o.hEvent);
    DWORD got = 0;
    const BOOL done = ReadFile(s->handle, value, 1, &got, &o);
    const int n = Finish(s->handle, &o, done, got, timeoutMs);
    return n < 0 ? -1 : (n == 1 ? 1 : 0);
}

bool SerialPort::SetDtr(bool on) {
    ComState* s = State(system_);
    return fd_ >= 0 && s && EscapeCommFunction(s->handle, on ? SETDTR : CLRDTR) != 0;
}

bool SerialPort::IsAnnouncedVirtual() const {
    // Virtual serial adapters announce pseudo-terminals, which Windows has not.
    return false;
}

}  // namespace ordwin
