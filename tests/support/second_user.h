#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace testing_support {

// A second user of the machine ("nobody"), for the tests of what one user's programs
// must not take from another's. A test that runs as root plays it through setpriv.
inline constexpr uid_t kSecondUid = 65534;
inline constexpr gid_t kSecondGid = 65534;

inline QStringList SecondUserCommand(const QString& program, const QStringList& arguments) {
  return QStringList{QStringLiteral("--reuid=%1").arg(kSecondUid), QStringLiteral("--regid=%1").arg(kSecondGid),
                     QStringLiteral("--clear-groups"), QStringLiteral("--"), program} +
         arguments;
}

// Why no program can run as the second user here; empty when one can. A test skips
// with it.
inline QString SecondUserMissing() {
  if (::geteuid() != 0) return QStringLiteral("acting as a second user (through setpriv) needs root");
  const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
  if (setpriv.isEmpty()) return QStringLiteral("acting as a second user needs setpriv");
  if (QProcess::execute(setpriv, SecondUserCommand(QStringLiteral("/bin/true"), {})) != 0)
    return QStringLiteral("setpriv cannot change the user here");
  return QString();
}

// Sets the process up to run the program as the second user.
inline void RunAsSecondUser(QProcess& process, const QString& program, const QStringList& arguments) {
  process.setProgram(QStandardPaths::findExecutable(QStringLiteral("setpriv")));
  process.setArguments(SecondUserCommand(program, arguments));
}

// Gives a folder and everything below it to the second user.
inline bool GiveToSecondUser(const QString& folder) {
  bool ok = ::lchown(QFile::encodeName(folder).constData(), kSecondUid, kSecondGid) == 0;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) ok = ::lchown(QFile::encodeName(it.next()).constData(), kSecondUid, kSecondGid) == 0 && ok;
  return ok;
}

}  // namespace testing_support
