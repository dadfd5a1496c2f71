#include "platform/session/session_events.h"

#include "platform/backend.h"
#include "platform/session/logind_session_watcher.h"
#include "platform/session/sim_session_events.h"

namespace platform::session {

std::unique_ptr<SessionEventWatcher> CreateSessionEventWatcher(QObject* parent) {
  if (SelectedBackend() == Backend::kSimulated) return std::make_unique<SimSessionEvents>(parent);
  return std::make_unique<LogindSessionWatcher>(parent);
}

}  // namespace platform::session
