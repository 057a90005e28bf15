#include "errors/error_codes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ordwin {
namespace {

struct CodeText {
    uint32_t code;
    const char* text;
};

constexpr CodeText kCodeTable[] = {
    {0x00000000, "Requested operation completed successfully."},
    {0x80070057, "Invalid argument."},
    {0x81000001, "Unable to write to Flash."},
    {0x81000002, "Unable to lock Flash."},
    {0x81000003, "Target device is not halted."},
    {0x81010003, "Target device is not halted."},
    {0x81000004, "Invalid path"},
    {0x81000005, "Unable to open COM Port."},
    {0x81000006, "Unable to download program."},
    {0x81000007, "Reset failed."},
    {0x81000008, "Erase failed."},
    {0x81000009, "Unable to close COM Port."},
    {0x8100000A, "USB Debug Adapter DLL not found."},
    {0x8100000B, "Unable to open USB Debug Adapter."},
    {0x8100000C, "External Memory is not supported\non this device."},
    {0x8100000D, "Target device is connected."},
    {0x8100000E, "Unknown device."},
    {0x8100000F, "Invalid target response."},
    {0x81000010, "Invalid arguments."},
    {0x81000011, "Target did not respond and may\nbe disconnected."},
    {0x81000012, "Target did not respond with enough data."},
    {0x81000013, "The communication port is busy."},
    {0x81000014, "The communication port is not open."},
    {0x81000015, "Timer resource not available."},
    {0x81000016, "Unable to write all the\ndata to the target."},
    {0x81000017, "Serial Interface had\nno new data to return."},
    {0x81000018, "UART has not been enabled\nvia GPIO configuration."},
    {0x81000019, "Target is not in the HALT state\nand did not respond to the query."},
    {0x8100001A, "A Flash failure has occurred."},
    {0x8100001C, "The target is not responding."},
    {0x8100001D, "The target reported that\nthe command failed."},
    {0x8100001E, "Communication port timeout."},
    {0x8100001F, "Could not clear communication port error."},
    {0x81000020, "Error receiving byte."},
    {0x81000021, "Receive Buffer Failure."},
    {0x81000022, "Error occurred during purge\nof communication port."},
    {0x81000023, "Error occurred during firmware update."},
    {0x81000024, "A CRC comparison failure has occurred."},
    {0x81000025, "An error occurred during device reset."},
    {0x81000026, "This operation is not supported on this device."},
    {0x81000027, "Flash is locked."},
    {0x81000028, "An incorrect response has been recevied."},
    {0x81000029, "Valid Adapter selection has not been assigned."},
    {0x8100002A, "The USB debug adapter handle is void."},
    {0x8100002B, "USB Debug Adapter unknown function."},
    {0x8100002C, "Flash erase has been cancelled."},
    {0x8100002D, "Part not loaded in XML Services."},
    {0x8100002E, "The MCU Product Configuration data\nis missing information about this device."},
    {0x8100002F, "Unable to access MCU Product Configuration Data."},
    {0x81000030,
     "The version of the device you connected to\nis older than the minimum version supported."},
    {0x81000031, "Packet allocation failure."},
    {0x81000032, "Packet not available failure."},
    {0x81000033, "Packet read failure."},
    {0x81000034, "Packet timer failure."},
    {0x8100801B, "Not connected to target."},
    {0x81010001, "A breakpoint may not be set\nin Reserved Space."},
    {0x81010002, "A breakpoint may not be set\nbeyond the Code Space range."},
    {0x81010004, "Failed executing FeatureReport 0x49."},
    {0x81010005, "Failed executing GetFeatureReport 0x4A."},
    {0x81010006, "Failed executing SetFeatureReport 0x4B."},
    {0x81020001, "Download cancelled."},
    {0x81020002, "Read failed."},
    {0x81030001, "A valid adapter has not been defined."},
    {0x81030002, "Target could not be reset."},
    {0x81030003, "Unable to set up and open COM Port."},
    {0x81030004, "Unable to halt the target device."},
    {0x81030005, "Maximum number of breakpoints reached."},
    {0x81030006, "Target configuration failure."},
    {0x81030007, "Bootloader failure."},
    {0x81040001, "Invalid handle."},
    {0x81040002, "Read error."},
    {0x81040003, "Write error."},
    {0x81040005, "Device I/O failed."},
    {0x81040007, "Read timeout error."},
    {0x81040008, "SN access error."},
    {0x81040009, "Reset response failure."},
    {0x8104000A, "TLS invalid."},
    {0x8104000C, "Wickport.dll not initialized."},
    {0x8104000D, "No device selected."},
    {0x8104000E, "No data is available."},
    {0x810400FF, "Device not found."},
    {0x8104800B, "Target not connected."},
};

char g_messageBuffer[kErrorBufferSize];

void CopyToBuffer(const char* text) {
    // Longer texts are cut so the terminator always fits.
    std::snprintf(g_messageBuffer, sizeof g_messageBuffer, "%s", text);
}

}  // namespace

const char* LookupErrorText(int32_t code) {
    const auto key = static_cast<uint32_t>(code);
    for (const CodeText& entry : kCodeTable) {
        if (entry.code == key) return entry.text;
    }
    return nullptr;
}

namespace {
int32_t g_problemCode = 0;
std::string g_problem;
}  // namespace

void NoteTransferProblem(int32_t code, const std::string& text) {
    g_problemCode = code;
    g_problem = text;
}

void MoveTransferProblem(int32_t from, int32_t to) {
    if (g_problemCode == from) {
        g_problemCode = to;
    } else {
        NoteTransferProblem(to, "");
    }
}

const char* ErrorMessage(int32_t code) {
    if (code == kSystemErrorCode) {
        const int savedErrno = errno;
        CopyToBuffer(std::strerror(savedErrno));
        errno = savedErrno;
    } else if (const char* text = LookupErrorText(code)) {
        CopyToBuffer(text);
    } else {
        std::snprintf(g_messageBuffer, sizeof g_messageBuffer, "Unknown error code: 0x%x",
                      static_cast<unsigned>(code));
    }
    if (code == g_problemCode && !g_problem.empty()) {
        const size_t used = std::strlen(g_messageBuffer);
        std::snprintf(g_messageBuffer + used, sizeof g_messageBuffer - used, "\n(%s)",
                      g_problem.c_str());
    }
    return g_messageBuffer;
}

}  // namespace ordwin
