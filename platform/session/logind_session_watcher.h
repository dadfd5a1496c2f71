#pragma once

#include <QString>

#include "platform/session/session_events.h"

namespace platform::session {

// Watches systemd-logind on the system bus: the manager's PrepareForSleep(true) is a
// suspend, this session's Lock a lock, and the session's Active property turning false
// (another session took the seat) a console disconnect. Each is delivered as the
// matching session message. Without a system bus or without logind it watches nothing.
class LogindSessionWatcher : public SessionEventWatcher {
  Q_OBJECT

 public:
  explicit LogindSessionWatcher(QObject* parent = nullptr);
  ~LogindSessionWatcher() override;

  bool IsWatching() const override { return watching_; }

 private slots:
  void OnPrepareForSleep(bool start);
  void OnLock();
  void OnPropertiesChanged(const QString& interface_name, const QVariantMap& changed,
                           const QStringList& invalidated);

 private:
  bool watching_ = false;
  bool active_ = true;
};

}  // namespace platform::session
