// Fails the build when the MTP writer's assembler source and the shared layout
// the host patches, runs and reads it by drift apart.
#include "zeltra/mtp_writer.h"
#include "zeltra/mtp_writer_symbols.h"
#include "zt/firmware_layout.h"
#include "zt/zeltra_map.h"

namespace zeltra::firmware {
namespace sym = mtp_writer_symbols;
namespace layout = zt::mtp_writer;

static_assert(sym::kParam == layout::kParamRecord);
static_assert(sym::kData == layout::kParamRecord + layout::kParamData);
static_assert(layout::kParamLength == layout::kParamOffset + 1);
static_assert(layout::kParamDataSize == zt::zeltra::kMtpSize);
static_assert(sym::kMtpSize == zt::zeltra::kMtpSize);
static_assert(sym::kMain == layout::kMain);
static_assert(sym::kStartup == layout::kStartup);
static_assert(sym::kStack == layout::kStackPointer);
static_assert(sym::kIdle == layout::kIdleBegin);
static_assert(sym::kIdleEnd == layout::kIdleEnd);
static_assert(sym::kResult == layout::kResultAddress);
static_assert(sym::kWritten == layout::kResultSuccess);
static_assert(sym::kBadOffset == layout::kResultBadOffset);
static_assert(sym::kBadLength == layout::kResultBadLength);
static_assert(sym::kRomFailed == layout::kResultProgramming);
static_assert(sym::kMismatch == layout::kResultVerify);
static_assert(sym::kRomStatus == layout::kXdataProgramStatus);
static_assert(sym::kMtpWrite == zt::zeltra::kRomMtpWrite);
static_assert(sym::kMtpKey == zt::zeltra::kMtpWriteKey);
static_assert(sym::kMtpBase == zt::zeltra::kRomMtpBase);

}  // namespace zeltra::firmware
