#include "platform/session/logind_session_watcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QVariantMap>

#include "platform/session/session_message.h"

namespace platform::session {

namespace {

const char* const kService = "org.freedesktop.login1";
const char* const kManagerPath = "/org/freedesktop/login1";
const char* const kManagerInterface = "org.freedesktop.login1.Manager";
const char* const kSessionInterface = "org.freedesktop.login1.Session";
const char* const kPropertiesInterface = "org.freedesktop.DBus.Properties";

}  // namespace

LogindSessionWatcher::LogindSessionWatcher(QObject* parent) : SessionEventWatcher(parent) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected() || !bus.interface()) return;
  if (!bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value()) return;

  bus.connect(QString::fromLatin1(kService), QString::fromLatin1(kManagerPath), QString::fromLatin1(kManagerInterface),
              QStringLiteral("PrepareForSleep"), this, SLOT(OnPrepareForSleep(bool)));
  watching_ = true;

  // This process's own session; a process outside any session (a service) only
  // learns of suspends.
  QDBusInterface manager(QString::fromLatin1(kService), QString::fromLatin1(kManagerPath),
                         QString::fromLatin1(kManagerInterface), bus);
  const QDBusReply<QDBusObjectPath> session =
      manager.call(QStringLiteral("GetSessionByPID"), static_cast<uint>(QCoreApplication::applicationPid()));
  if (!session.isValid()) return;
  const QString path = session.value().path();
  bus.connect(QString::fromLatin1(kService), path, QString::fromLatin1(kSessionInterface), QStringLiteral("Lock"), this,
              SLOT(OnLock()));
  bus.connect(QString::fromLatin1(kService), path, QString::fromLatin1(kSessionInterface), QStringLiteral("Unlock"),
              this, SLOT(OnUnlock()));
  bus.connect(QString::fromLatin1(kService), path, QString::fromLatin1(kPropertiesInterface),
              QStringLiteral("PropertiesChanged"), this,
              SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
  // A session locked before the program started (older logind has no LockedHint: the
  // reply is invalid, and the session reads as unlocked).
  QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(kService), path,
                                                    QString::fromLatin1(kPropertiesInterface), QStringLiteral("Get"));
  get << QString::fromLatin1(kSessionInterface) << QStringLiteral("LockedHint");
  const QDBusReply<QDBusVariant> hint = bus.call(get);
  if (hint.isValid()) locked_ = hint.value().variant().toBool();
}

LogindSessionWatcher::~LogindSessionWatcher() = default;

void LogindSessionWatcher::OnPrepareForSleep(bool start) {
  // Sent twice: true before the sleep, false after the wake-up.
  if (start) DeliverSessionMessage(kWmPowerBroadcast, kPbtApmSuspend);
}

void LogindSessionWatcher::OnLock() { SetLocked(true); }

void LogindSessionWatcher::OnUnlock() { SetLocked(false); }

void LogindSessionWatcher::SetLocked(bool locked) {
  if (locked == locked_) return;
  locked_ = locked;
  DeliverSessionMessage(kWmWtsSessionChange, locked ? kWtsSessionLock : kWtsSessionUnlock);
}

void LogindSessionWatcher::OnPropertiesChanged(const QString& interface_name, const QVariantMap& changed,
                                               const QStringList&) {
  if (interface_name != QLatin1String(kSessionInterface)) return;
  const auto hint = changed.find(QStringLiteral("LockedHint"));
  if (hint != changed.end()) SetLocked(hint->toBool());
  const auto it = changed.find(QStringLiteral("Active"));
  if (it == changed.end()) return;
  const bool active = it->toBool();
  if (active_ && !active) DeliverSessionMessage(kWmWtsSessionChange, kWtsConsoleDisconnect);
  active_ = active;
}

}  // namespace platform::session
