// Session messages through the application's native event filters, from the simulated
// session and from the logind watcher's handlers.
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMetaObject>
#include <QVariantMap>

#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/session/logind_session_watcher.h"
#include "platform/session/session_events.h"
#include "platform/session/session_message.h"
#include "platform/session/sim_session_events.h"

namespace platform::session {
namespace {

using Messages = std::vector<std::pair<uint32_t, uintptr_t>>;

class RecordingFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, long*) override {
    if (const SessionMessage* m = AsSessionMessage(type, message)) received.emplace_back(m->message, m->wparam);
    return consume;
  }
  Messages received;
  bool consume = false;
};

// One application object for the program, gone before the static objects are.
class ApplicationEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "platform_session_events_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QCoreApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QCoreApplication> app_;
};
testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

class SessionEventsTest : public testing::Test {
 protected:
  void SetUp() override { QCoreApplication::instance()->installNativeEventFilter(&filter_); }
  void TearDown() override { QCoreApplication::instance()->removeNativeEventFilter(&filter_); }

  RecordingFilter filter_;
};

TEST_F(SessionEventsTest, SimulatedSessionDeliversTheWindowMessageNumbers) {
  SimSessionEvents session;
  EXPECT_TRUE(session.IsWatching());
  session.Suspend();
  session.Lock();
  session.Unlock();
  session.DisconnectConsole();
  EXPECT_EQ(filter_.received, (Messages{{536, 4}, {689, 7}, {689, 8}, {689, 2}}));
}

TEST_F(SessionEventsTest, DeliveryReportsWhetherAFilterConsumedIt) {
  EXPECT_FALSE(DeliverSessionMessage(kWmPowerBroadcast, kPbtApmSuspend));
  filter_.consume = true;
  EXPECT_TRUE(DeliverSessionMessage(kWmPowerBroadcast, kPbtApmSuspend));
  int payload = 0;
  EXPECT_EQ(AsSessionMessage(QByteArrayLiteral("xcb_generic_event_t"), &payload), nullptr);
  EXPECT_EQ(AsSessionMessage(kSessionMessageEventType, nullptr), nullptr);
}

TEST_F(SessionEventsTest, SimulatedBackendIsChosenUnderSim) {
  qputenv("CASTORA_PLATFORM", "sim");
  auto watcher = CreateSessionEventWatcher();
  EXPECT_NE(dynamic_cast<SimSessionEvents*>(watcher.get()), nullptr);
  EXPECT_TRUE(filter_.received.empty());  // nothing happens by itself
}

// logind's signals map onto the messages: the sleep before (not the wake after), a
// lock and an unlock (once per change, whether the request or the locker's hint
// tells it), and the session losing the seat (once, until it is active again).
TEST_F(SessionEventsTest, LogindSignalsBecomeSessionMessages) {
  LogindSessionWatcher watcher;  // without a system bus it watches nothing; the handlers work alike
  EXPECT_FALSE(watcher.IsLocked());
  const auto properties = [&](const char* interface_name, QVariantMap changed) {
    QMetaObject::invokeMethod(&watcher, "OnPropertiesChanged", Q_ARG(QString, QString::fromLatin1(interface_name)),
                              Q_ARG(QVariantMap, changed), Q_ARG(QStringList, QStringList()));
  };
  QMetaObject::invokeMethod(&watcher, "OnPrepareForSleep", Q_ARG(bool, true));
  QMetaObject::invokeMethod(&watcher, "OnPrepareForSleep", Q_ARG(bool, false));
  QMetaObject::invokeMethod(&watcher, "OnLock");
  properties("org.freedesktop.login1.Session", {{QStringLiteral("LockedHint"), true}});
  EXPECT_TRUE(watcher.IsLocked());
  properties("org.freedesktop.login1.Session", {{QStringLiteral("LockedHint"), false}});
  QMetaObject::invokeMethod(&watcher, "OnUnlock");
  properties("org.freedesktop.login1.Session", {{QStringLiteral("LockedHint"), true}});
  QMetaObject::invokeMethod(&watcher, "OnUnlock");
  properties("org.freedesktop.login1.User", {{QStringLiteral("LockedHint"), true}});
  EXPECT_FALSE(watcher.IsLocked());
  EXPECT_EQ(filter_.received, (Messages{{536, 4}, {689, 7}, {689, 8}, {689, 7}, {689, 8}}));
  filter_.received.clear();

  properties("org.freedesktop.login1.Session", {{QStringLiteral("Active"), false}});
  properties("org.freedesktop.login1.Session", {{QStringLiteral("Active"), false}});
  properties("org.freedesktop.login1.Session", {{QStringLiteral("IdleHint"), true}});
  properties("org.freedesktop.login1.User", {{QStringLiteral("Active"), true}});
  properties("org.freedesktop.login1.Session", {{QStringLiteral("Active"), true}});
  properties("org.freedesktop.login1.Session", {{QStringLiteral("Active"), false}});
  EXPECT_EQ(filter_.received, (Messages{{689, 2}, {689, 2}}));
}

}  // namespace
}  // namespace platform::session
