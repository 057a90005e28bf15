// Download of Intel-HEX and OMF program files into code memory, their
// verification, and the code and scratch-pad write exports.
#pragma once

#include <cstdint>

namespace ordwin {

int32_t DownloadExport(const char* path, int eraseAndReset, int quiet, int scratchTarget, int bank,
                       int lock, int preserve);
int32_t VerifyFlashDownloadExport(const char* path, int quiet, int bank);
int32_t SetCodeExport(const uint8_t* buffer, uint32_t start, uint32_t count, int quiet);
int32_t SetScratchExport(const uint8_t* buffer, uint32_t start, uint32_t count, int quiet);

}  // namespace ordwin
