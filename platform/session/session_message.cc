#include "platform/session/session_message.h"

#include <QAbstractEventDispatcher>

namespace platform::session {

const QByteArray kSessionMessageEventType = QByteArrayLiteral("castora_session_message_t");

bool DeliverSessionMessage(uint32_t message, uintptr_t wparam) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (!dispatcher) return false;
  SessionMessage payload{message, wparam};
  long result = 0;
  return dispatcher->filterNativeEvent(kSessionMessageEventType, &payload, &result);
}

const SessionMessage* AsSessionMessage(const QByteArray& event_type, void* message) {
  if (event_type != kSessionMessageEventType || !message) return nullptr;
  return static_cast<const SessionMessage*>(message);
}

}  // namespace platform::session
