#include "tests/updater/updater_run.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "tests/support/second_user.h"
#include "updater/updater_logger.h"

namespace {

// The program is placed as a hard link where the file system allows it (the build
// tree's programs are large), else copied: it must be a file of its own in the
// installation folder, since the updater finds its neighbours beside its own binary.
bool PlaceProgram(const QString& source, const QString& target) {
  if (::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0) return true;
  return QFile::copy(source, target);
}

}  // namespace

bool WriteScript(const QString& path, const QByteArray& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  file.write(text);
  file.close();
  return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString InProcessLog() {
  FlushLogger();
  const QDir logs(qEnvironmentVariable("APPDATA") + QStringLiteral("/CastoraUpdate/log"));
  QString text;
  for (const QString& name : logs.entryList(QDir::Files, QDir::Name)) text += ReadAll(logs.filePath(name));
  return text;
}

UpdaterRun::UpdaterRun(bool with_version_config)
    : dir_(QStringLiteral(RENOVIX_TEST_WORK_DIR "/run-XXXXXX")) {
  if (!dir_.isValid()) return;
  for (const char* sub : {"install", "tmp", "data", "runtime", "appdata"})
    QDir(dir_.path()).mkpath(QString::fromLatin1(sub));
  QFile::setPermissions(Path(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  bool ok = PlaceProgram(QStringLiteral(RENOVIX_PROGRAM), InstallDir() + QStringLiteral("/Renovix"));
  if (with_version_config)
    ok = ok && QFile::copy(QStringLiteral(RENOVIX_VERSION_CONFIG), InstallDir() + QStringLiteral("/VersionConfig.json"));
  ok = ok && WriteScript(InstallDir() + QStringLiteral("/Castora"),
                         "#!/bin/sh\necho \"$0 $*\" >> \"" + Path(QStringLiteral("client-starts")).toLocal8Bit() + "\"\n");
  // Asked which program the task starts, it names the copy in the run's runtime
  // folder, unless RENOVIX_TEST_TOOL_QUERY names another; RENOVIX_TEST_TOOL_RUN_EXIT
  // makes only the start fail.
  ok = ok && WriteScript(Path(QStringLiteral("task-tool")),
                         "#!/bin/sh\necho \"$*\" >> \"" + Path(QStringLiteral("tool-calls")).toLocal8Bit() +
                             "\"\n"
                             "case \"$1\" in\n"
                             "/query) echo \"${RENOVIX_TEST_TOOL_QUERY:-" +
                             (PrivateTempDir() + QStringLiteral("/Renovix")).toLocal8Bit() +
                             "}\" ;;\n"
                             "/run) exit ${RENOVIX_TEST_TOOL_RUN_EXIT:-${RENOVIX_TEST_TOOL_EXIT:-0}} ;;\n"
                             "esac\n"
                             "exit ${RENOVIX_TEST_TOOL_EXIT:-0}\n");
  valid_ = ok;

  env_ = QProcessEnvironment::systemEnvironment();
  env_.insert(QStringLiteral("TMPDIR"), Path(QStringLiteral("tmp")));
  env_.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("data")));
  env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path(QStringLiteral("runtime")));
  env_.insert(QStringLiteral("APPDATA"), Path(QStringLiteral("appdata")));
  env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env_.insert(QStringLiteral("RENOVIX_TASK_TOOL"), Path(QStringLiteral("task-tool")));
  // Nothing listens here: a run that asks the server finds no update.
  env_.insert(QStringLiteral("RENOVIX_UPDATE_SERVER"), QStringLiteral("http://127.0.0.1:9"));
  env_.remove(QStringLiteral("LOGLEVEL"));
}

bool UpdaterRun::PlaceClient(const QString& program) {
  const QString target = InstallDir() + QStringLiteral("/Castora");
  QFile::remove(target);
  return PlaceProgram(program, target);
}

bool UpdaterRun::PlaceTaskTool(const QString& program) {
  env_.remove(QStringLiteral("RENOVIX_TASK_TOOL"));
  return PlaceProgram(program, InstallDir() + QStringLiteral("/renovix-tasks"));
}

bool UpdaterRun::RunAsSecondUser() {
  second_user_ = true;
  // The installation stays ours, readable by all, as an installed program is.
  bool ok = QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadOther | QFile::ExeOther);
  for (const char* sub : {"data", "runtime", "appdata"})
    ok = testing_support::GiveToSecondUser(Path(QString::fromLatin1(sub))) && ok;
  return ok;
}

void UpdaterRun::Start(QProcess& process, const QStringList& arguments) {
  process.setProcessEnvironment(env_);
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  const QString program = InstallDir() + QStringLiteral("/Renovix");
  if (second_user_) {
    testing_support::RunAsSecondUser(process, program, arguments);
    process.start();
  } else {
    process.start(program, arguments);
  }
}

int UpdaterRun::Run(const QStringList& arguments, int timeout_ms) {
  QProcess process;
  Start(process, arguments);
  if (!process.waitForFinished(timeout_ms)) {
    process.kill();
    process.waitForFinished(5000);
    return -1;
  }
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString UpdaterRun::Log() const {
  const QDir logs(Path(QStringLiteral("appdata/CastoraUpdate/log")));
  QString text;
  for (const QString& name : logs.entryList(QDir::Files, QDir::Name)) text += ReadAll(logs.filePath(name));
  return text;
}

QString UpdaterRun::InstalledVersion() const {
  QFile config(InstallDir() + QStringLiteral("/VersionConfig.json"));
  if (!config.open(QIODevice::ReadOnly)) return QString();
  return QJsonDocument::fromJson(config.readAll()).object().value(QStringLiteral("version")).toString();
}

QString UpdaterRun::ToolCalls() const { return ReadAll(Path(QStringLiteral("tool-calls"))); }
QString UpdaterRun::ClientStarts() const { return ReadAll(Path(QStringLiteral("client-starts"))); }

FakeClient::FakeClient(const QProcessEnvironment& env, bool second_user) {
  process_.setProcessEnvironment(env);
  if (second_user) testing_support::RunAsSecondUser(process_, QStringLiteral(RENOVIX_FAKE_CLIENT), {});
  else process_.setProgram(QStringLiteral(RENOVIX_FAKE_CLIENT));
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

FakeClient::~FakeClient() {
  if (process_.state() == QProcess::NotRunning) return;
  Command("quit");
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool FakeClient::Start() {
  process_.start();
  return process_.waitForStarted(10000) && WaitForLine(QStringLiteral("ready"));
}

void FakeClient::ReadLines() {
  pending_.append(process_.readAllStandardOutput());
  for (int end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
    lines_ << QString::fromLatin1(pending_.left(end));
    pending_.remove(0, end + 1);
  }
}

bool FakeClient::HasLine(const QString& line) {
  ReadLines();
  return lines_.contains(line);
}

QStringList FakeClient::Lines() {
  ReadLines();
  return lines_;
}

bool FakeClient::WaitForLine(const QString& line, int timeout_ms) {
  return QTest::qWaitFor(
      [&] {
        process_.waitForReadyRead(20);
        return HasLine(line);
      },
      timeout_ms);
}

void FakeClient::Command(const QByteArray& line) {
  process_.write(line + '\n');
  process_.waitForBytesWritten(5000);
}

bool FakeClient::WaitForExit(int timeout_ms) {
  const bool ended = process_.waitForFinished(timeout_ms);
  ReadLines();
  return ended;
}

bool FakeClient::QuitWith(QProcess& updater) {
  Command("quit");
  const bool client_ended = WaitForExit();
  return updater.waitForFinished(10000) && client_ended;
}
