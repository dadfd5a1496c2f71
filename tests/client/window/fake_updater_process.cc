#include "tests/client/window/fake_updater_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include "tests/support/second_user.h"

FakeUpdaterProcess::FakeUpdaterProcess(const QString& node_url, bool second_user,
                                       const QProcessEnvironment& extra) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("CASTORA_FAKE_UPDATER_NODE"), node_url);
  env.insert(extra);
  process_.setProcessEnvironment(env);
  const QString program = QStringLiteral(CASTORA_LINK_DIR "/Renovix");
  if (second_user) testing_support::RunAsSecondUser(process_, program, {});
  else process_.setProgram(program);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

FakeUpdaterProcess::~FakeUpdaterProcess() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.write("quit\n");
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool FakeUpdaterProcess::Start() {
  process_.start();
  return process_.waitForStarted(10000);
}

void FakeUpdaterProcess::ReadLines() {
  pending_.append(process_.readAllStandardOutput());
  for (int end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
    lines_ << QString::fromLatin1(pending_.left(end));
    pending_.remove(0, end + 1);
  }
}

bool FakeUpdaterProcess::HasLine(const QString& line) {
  ReadLines();
  return lines_.contains(line);
}

int FakeUpdaterProcess::CountLines(const QString& line) {
  ReadLines();
  return lines_.count(line);
}

bool FakeUpdaterProcess::WaitForLine(const QString& line, int timeout_ms) {
  return QTest::qWaitFor([&] { return HasLine(line); }, timeout_ms);
}

bool FakeUpdaterProcess::WaitForLineBlocking(const QString& line, int timeout_ms) {
  QDeadlineTimer deadline(timeout_ms);
  while (!HasLine(line)) {
    if (deadline.hasExpired() || process_.state() != QProcess::Running) return false;
    process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  }
  return true;
}

void FakeUpdaterProcess::Send(int value) {
  process_.write(QByteArrayLiteral("send ") + QByteArray::number(value) + '\n');
  process_.waitForBytesWritten(5000);
}
