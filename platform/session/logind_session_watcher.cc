#include "platform/session/logind_session_watcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusInterface>
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
  bus.connect(QString::fromLatin1(kService), path, QString::fromLatin1(kPropertiesInterface),
              QStringLiteral("PropertiesChanged"), this,
              SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
}

LogindSessionWatcher::~LogindSessionWatcher() = default;

void LogindSessionWatcher::OnPrepareForSleep(bool start) {
  // Sent twice: true before the sleep, false after the wake-up.
  if (start) DeliverSessionMessage(kWmPowerBroadcast, kPbtApmSuspend);
}

void LogindSessionWatcher::OnLock() { DeliverSessionMessage(kWmWtsSessionChange, kWtsSessionLock); }

void LogindSessionWatcher::OnPropertiesChanged(const QString& interface_name, const QVariantMap& changed,
                                               const QStringList&) {
  if (interface_name != QLatin1String(kSessionInterface)) return;
  const auto it = changed.find(QStringLiteral("Active"));
  if (it == changed.end()) return;
  const bool active = it->toBool();
  if (active_ && !active) DeliverSessionMessage(kWmWtsSessionChange, kWtsConsoleDisconnect);
  active_ = active;
}

}  // namespace platform::session
