#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The helper that poses as the updater (fake_updater.cc), run by a test: lines it
// prints are collected; commands go to its stdin.
class FakeUpdaterProcess {
 public:
  // With second_user set it runs as the second user (testing_support); extra holds
  // further variables of its environment.
  explicit FakeUpdaterProcess(const QString& node_url, bool second_user = false,
                              const QProcessEnvironment& extra = QProcessEnvironment());
  ~FakeUpdaterProcess();

  bool Start();
  // Waits for a line, letting this process's event loop run meanwhile (the client's
  // side of the link must work for the helper to get on).
  bool WaitForLine(const QString& line, int timeout_ms = 15000);
  // Waits for a line without running this process's event loop: whatever the helper
  // sends meanwhile stays unread in the link's socket.
  bool WaitForLineBlocking(const QString& line, int timeout_ms = 15000);
  void Send(int value);
  bool HasLine(const QString& line);
  int CountLines(const QString& line);

 private:
  void ReadLines();

  QProcess process_;
  QStringList lines_;
  QByteArray pending_;
};
