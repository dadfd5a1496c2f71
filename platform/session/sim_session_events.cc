#include "platform/session/sim_session_events.h"

#include "platform/session/session_message.h"

namespace platform::session {

void SimSessionEvents::Suspend() { DeliverSessionMessage(kWmPowerBroadcast, kPbtApmSuspend); }
void SimSessionEvents::Lock() { DeliverSessionMessage(kWmWtsSessionChange, kWtsSessionLock); }
void SimSessionEvents::Unlock() { DeliverSessionMessage(kWmWtsSessionChange, kWtsSessionUnlock); }
void SimSessionEvents::DisconnectConsole() { DeliverSessionMessage(kWmWtsSessionChange, kWtsConsoleDisconnect); }

}  // namespace platform::session
