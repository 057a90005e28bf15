// Download of Intel-HEX and OMF program files into code memory, their
// verification, and writes of code and scratch-pad memory. Each runs after
// the argument and connection checks of its export.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

struct DownloadRequest {
    bool eraseAndReset = false;
    bool quiet = false;
    bool scratch = false;  // into the scratch-pad flash instead of code memory
    int bank = -1;
    bool lock = false;  // write the lock bytes after a complete download
    bool preserve = false;
};

int32_t DownloadFile(DebugContext& context, const char* path, const DownloadRequest& request);
int32_t VerifyDownload(DebugContext& context, const char* path, bool quiet, int bank);
// Code bytes at [start, start + count) in the image, then the flagged pages
// programmed; the range lies outside the reserved area.
int32_t WriteCodeMemory(DebugContext& context, const uint8_t* buffer, uint32_t start,
                        uint32_t count, bool quiet);
// The scratch-pad image written whole after the bytes are stored.
int32_t WriteScratchMemory(DebugContext& context, const uint8_t* buffer, uint32_t start,
                           uint32_t count);

}  // namespace ordwin
