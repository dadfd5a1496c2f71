#include "updater/installer_file.h"

#include <QCryptographicHash>
#include <QFile>

QString FileMd5Hex(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  QCryptographicHash hash(QCryptographicHash::Md5);
  if (!hash.addData(&file)) return QString();
  return QString::fromLatin1(hash.result().toHex());
}

bool VerifyInstallerAndMakeExecutable(const QString& path, const QString& expected_md5) {
  const QString actual = FileMd5Hex(path);
  if (actual.isEmpty() || actual != expected_md5) return false;
  return QFile::setPermissions(
      path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ReadOwner);
}
