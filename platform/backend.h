#pragma once

namespace platform {

// Which back-end the factories hand out. CASTORA_PLATFORM=sim selects the simulated
// facilities for a whole run; anything else (or unset) the real Linux ones.
enum class Backend { kReal, kSimulated };
Backend SelectedBackend();

}  // namespace platform
