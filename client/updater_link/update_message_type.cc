#include "client/updater_link/update_message_type.h"

#include <QMetaEnum>

namespace updater_link {

QString KeyOf(int message) {
  // valueToKey gives nullptr for a value without a key; that must never reach fmt.
  static const QMetaEnum type = QMetaEnum::fromType<UpdateMessageType>();
  const char* key = type.valueToKey(message);
  return key ? QString::fromLatin1(key) : QStringLiteral("unknown (%1)").arg(message);
}

}  // namespace updater_link
