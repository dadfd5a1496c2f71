#include "platform/updater/update_service.h"

namespace platform::updater {

namespace {
QString WithoutTrailingSlashes(QString address) {
  while (address.endsWith(QLatin1Char('/'))) address.chop(1);
  return address;
}
}  // namespace

QString DefaultUpdateServerAddress() {
  return WithoutTrailingSlashes(QStringLiteral(RENOVIX_DEFAULT_UPDATE_SERVER));
}

QString UpdateServerAddress() {
  const QString configured = qEnvironmentVariable(kUpdateServerEnv).trimmed();
  if (configured.isEmpty()) return DefaultUpdateServerAddress();
  return WithoutTrailingSlashes(configured);
}

}  // namespace platform::updater
