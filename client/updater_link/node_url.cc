#include "client/updater_link/node_url.h"

#include "utils/local_peer.h"

namespace updater_link {

QUrl NodeUrl() {
  return QUrl(QStringLiteral("local:") + utils::PerUserAddress(QString::fromLatin1(kNodeBaseName)));
}

}  // namespace updater_link
