// Fails the build when the burner's assembler source and the shared layout
// the host reads its result by drift apart.
#include "zeltra/nvm_burner_image.h"
#include "zeltra/nvm_burner_symbols.h"
#include "zt/firmware_layout.h"
#include "zt/zeltra_map.h"

namespace zeltra::firmware {
namespace sym = nvm_burner_symbols;

static_assert(sym::kParam == zt::burner::kParamTable);
static_assert(sym::kParam == kNvmBurnerParamAddress);
static_assert(sym::kResult == zt::burner::kResultAddress);
static_assert(sym::kOk == zt::burner::kResultSuccess);
static_assert(sym::kFail == zt::burner::kResultFailure);
static_assert(sym::kUndone == zt::burner::kResultUnfinished);
static_assert(sym::kOverflow == zt::zeltra::kBurnXdataOverflow);
static_assert(sym::kNvmBurn == zt::zeltra::kRomNvmBurn);
static_assert(sym::kDone == zt::burner::kBreakAddress);

}  // namespace zeltra::firmware
