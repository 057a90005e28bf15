#pragma once

#include <cstddef>

#include "zt/firmware_layout.h"

namespace zeltra::firmware {

// The MTP writer as the Intel-HEX text the program carries (CR LF line ends,
// NUL-terminated; the size excludes the NUL). Its first record is the parameter
// record at zt::mtp_writer::kParamRecord; the rest of its layout is there too.
extern const char kMtpWriterHex[];
extern const std::size_t kMtpWriterHexSize;

}  // namespace zeltra::firmware
