#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Writes an executable (owner only) script; false when it cannot.
bool WriteScript(const QString& path, const QByteArray& text);
// The file's text (UTF-8), empty when it cannot be read.
QString ReadAll(const QString& path);

// What the updater of this process has logged so far (all its log files, in name
// order): for the tests that run it inside the test program.
QString InProcessLog();

// A private world for one run of the real Renovix program: an installation folder
// holding the program, VersionConfig.json and a stand-in client ("Castora", a script
// that records its starts), and folders of its own for the temporary files (where the
// local sockets live), the per-user data (settings, downloaded installer), the
// runtime folder (the private copy) and the logs. The task tool is a script that
// records its arguments and ends with RENOVIX_TEST_TOOL_EXIT (0 unless set); asked
// with "/query", it names the copy in the runtime folder.
class UpdaterRun {
 public:
  explicit UpdaterRun(bool with_version_config = true);

  bool valid() const { return valid_; }
  QString Path(const QString& relative) const { return dir_.filePath(relative); }
  QString InstallDir() const { return Path(QStringLiteral("install")); }
  QString SettingsPath() const { return Path(QStringLiteral("data/CastoraUpdate/Renovix.ini")); }
  QString InstallerPath() const { return Path(QStringLiteral("data/CastoraUpdate/CastoraSetup")); }
  QString PrivateTempDir() const { return Path(QStringLiteral("runtime/Renovix")); }
  QProcessEnvironment& env() { return env_; }

  // Puts the real client program into the installation folder in place of the stand-in.
  bool PlaceClient(const QString& program);
  // Puts the real task tool beside the programs, where the updater finds it (the
  // recording stand-in is no longer named).
  bool PlaceTaskTool(const QString& program);

  // From here on the program runs as the second user (testing_support), whose folders
  // (data, runtime, logs) become theirs; call it once the files of the run are placed.
  bool RunAsSecondUser();

  // Starts the program of the installation folder with the arguments.
  void Start(QProcess& process, const QStringList& arguments);
  // Runs it to its end; the exit code, or -1 when it did not end within timeout_ms.
  int Run(const QStringList& arguments, int timeout_ms = 30000);

  // Everything the updater logged (all its log files, in name order).
  QString Log() const;
  // The "version" of the VersionConfig.json installed beside the updater (empty when
  // it cannot be read): what an update offer must name as its origin.
  QString InstalledVersion() const;
  // Lines recorded by the task tool and by the stand-in client.
  QString ToolCalls() const;
  QString ClientStarts() const;

 private:
  QTemporaryDir dir_;
  QProcessEnvironment env_;
  bool valid_ = false;
  bool second_user_ = false;
};

// The helper that poses as the client (fake_client.cc): lines it prints are collected,
// commands go to its stdin.
class FakeClient {
 public:
  // With second_user set it runs as the second user (testing_support).
  explicit FakeClient(const QProcessEnvironment& env, bool second_user = false);
  ~FakeClient();

  bool Start();
  bool WaitForLine(const QString& line, int timeout_ms = 15000);
  bool HasLine(const QString& line);
  QStringList Lines();
  void Command(const QByteArray& line);
  bool WaitForExit(int timeout_ms = 15000);
  // Ends the client and waits until it and the updater that follows its life (and so
  // ends with it) have both exited.
  bool QuitWith(QProcess& updater);

 private:
  void ReadLines();

  QProcess process_;
  QStringList lines_;
  QByteArray pending_;
};
