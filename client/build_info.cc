#include "client/build_info.h"

#include "client/build_stamp.h"
#include "client/build_version.h"

namespace {
QString OrUnknown(const QString& text) { return text.isEmpty() ? QStringLiteral("Unknown") : text; }
}  // namespace

QString AppVersion() { return OrUnknown(QStringLiteral(CASTORA_VERSION_TEXT)); }

QString AppCommitId() { return OrUnknown(QStringLiteral(CASTORA_COMMIT_TEXT).left(6)); }

QString AppBuildTime() {
  return QStringLiteral("%1-%2-%3 %4")
      .arg(CASTORA_BUILD_YEAR)
      .arg(CASTORA_BUILD_MONTH)
      .arg(CASTORA_BUILD_DAY)
      .arg(QStringLiteral(CASTORA_BUILD_TIME_TEXT));
}
