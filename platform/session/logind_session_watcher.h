#pragma once

#include <QString>

#include "platform/session/session_events.h"

namespace platform::session {

// Watches systemd-logind on the system bus: the manager's PrepareForSleep(true) is a
// suspend, this session's Active property turning false (another session took the
// seat) a console disconnect, and the session is locked from its Lock signal or its
// LockedHint turning true until its Unlock signal or LockedHint turning false. Each is
// delivered as the matching session message, a lock and an unlock once per change
// (logind's request and the screen locker's hint usually both arrive). Without a
// system bus or without logind it watches nothing.
class LogindSessionWatcher : public SessionEventWatcher {
  Q_OBJECT

 public:
  explicit LogindSessionWatcher(QObject* parent = nullptr);
  ~LogindSessionWatcher() override;

  bool IsWatching() const override { return watching_; }
  // LockedHint as read when the watcher was made, and followed since.
  bool IsLocked() const override { return locked_; }

 private slots:
  void OnPrepareForSleep(bool start);
  void OnLock();
  void OnUnlock();
  void OnPropertiesChanged(const QString& interface_name, const QVariantMap& changed,
                           const QStringList& invalidated);

 private:
  void SetLocked(bool locked);

  bool watching_ = false;
  bool active_ = true;
  bool locked_ = false;
};

}  // namespace platform::session
