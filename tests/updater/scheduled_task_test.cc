#include "updater/scheduled_task.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "platform/updater/private_temp_folder.h"
#include "tests/support/scoped_env.h"

namespace {

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The values of the task document that matter, read back as an XML reader sees them.
struct TaskDocument {
  QString author, description, command, arguments, run_level;
};

TaskDocument ParseDocument(const QString& text) {
  TaskDocument doc;
  QXmlStreamReader reader(text);
  while (!reader.atEnd()) {
    reader.readNext();
    if (!reader.isStartElement()) continue;
    const QString name = reader.name().toString();
    if (name == QLatin1String("Author")) doc.author = reader.readElementText();
    else if (name == QLatin1String("Description")) doc.description = reader.readElementText();
    else if (name == QLatin1String("Command")) doc.command = reader.readElementText();
    else if (name == QLatin1String("Arguments")) doc.arguments = reader.readElementText();
    else if (name == QLatin1String("RunLevel")) doc.run_level = reader.readElementText();
  }
  EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
  return doc;
}

QString DecodeUtf16(const QByteArray& bytes) {
  return QTextCodec::codecForName("UTF-16")->toUnicode(bytes);
}

using testing_support::ScopedEnv;

TEST(ScheduledTaskXmlTest, DocumentIsUtf16WithBomAndStartsTheTemporaryCopy) {
  QString path;
  ASSERT_TRUE(GenerateScheduledTaskXml(&path));
  EXPECT_EQ(path, platform::updater::PrivateTempFolder() +
                      QStringLiteral("/update_scheduled_task.xml"));
  const QByteArray bytes = ReadFile(path);
  ASSERT_GE(bytes.size(), 2);
  EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE"));
  const QString text = DecodeUtf16(bytes);
  EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>")));
  for (const char* placeholder : {"%1", "%2", "%3", "%4"})
    EXPECT_FALSE(text.contains(QLatin1String(placeholder))) << placeholder;

  const TaskDocument doc = ParseDocument(text);
  EXPECT_EQ(doc.author, QStringLiteral("Zorvax"));
  EXPECT_EQ(doc.description, QStringLiteral("Start the zorvax update program as an administrator."));
  // The copy by its name alone: the task tool finds it where the user who starts the
  // task has it.
  EXPECT_EQ(doc.command, ScheduledTaskCommand());
  EXPECT_EQ(doc.command, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
  EXPECT_EQ(doc.arguments, QStringLiteral("Install"));
  EXPECT_EQ(doc.run_level, QStringLiteral("HighestAvailable"));
  // An ordinary path stands in the document as it is.
  EXPECT_TRUE(text.contains(QStringLiteral("<Command>") + ScheduledTaskCommand() +
                            QStringLiteral("</Command>")));
  QFile::remove(path);
}

// Registered in one environment, the task names nothing of it: the same document
// comes out with and without a runtime folder (a package script has none), and it is
// written into the private folder of that environment.
TEST(ScheduledTaskXmlTest, DocumentCarriesNothingOfTheRegisteringEnvironment) {
  QTemporaryDir dir;
  const QString runtime = dir.filePath(QStringLiteral("a&b<c>\"d'"));
  ASSERT_TRUE(QDir().mkpath(runtime));
  ASSERT_TRUE(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  QByteArray documents[2];
  for (const bool with_runtime : {true, false}) {
    ScopedEnv env("XDG_RUNTIME_DIR", with_runtime ? runtime.toLocal8Bit() : QByteArray());
    QString path;
    ASSERT_TRUE(GenerateScheduledTaskXml(&path));
    EXPECT_EQ(path.startsWith(runtime + QStringLiteral("/Renovix/")), with_runtime) << path.toStdString();
    documents[with_runtime] = ReadFile(path);
    const TaskDocument doc = ParseDocument(DecodeUtf16(documents[with_runtime]));
    EXPECT_EQ(doc.command, ScheduledTaskCommand());
    EXPECT_EQ(doc.arguments, QStringLiteral("Install"));
    QFile::remove(path);
  }
  EXPECT_EQ(documents[0], documents[1]);
}

// A task tool that records its arguments, one per line, and a copy of the document it
// was given, then exits with $TOOL_EXIT.
class RecordingToolTest : public testing::Test {
 protected:
  void SetUp() override {
    tool_ = dir_.filePath(QStringLiteral("tool.sh"));
    QFile script(tool_);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral(
                     "#!/bin/sh\n"
                     "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1/calls'; done\n"
                     "echo --- >> '%1/calls'\n"
                     "prev=\n"
                     "for a in \"$@\"; do [ \"$prev\" = /xml ] && cp \"$a\" '%1/doc.xml'; prev=$a; done\n"
                     "exit ${TOOL_EXIT:-0}\n")
                     .arg(dir_.path())
                     .toLocal8Bit());
    script.close();
    QFile::setPermissions(tool_, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    qputenv("RENOVIX_TASK_TOOL", tool_.toLocal8Bit());
  }
  void TearDown() override {
    qunsetenv("RENOVIX_TASK_TOOL");
    qunsetenv("TOOL_EXIT");
  }
  QStringList Calls() const {
    return QString::fromLocal8Bit(ReadFile(dir_.filePath(QStringLiteral("calls"))))
        .split('\n', Qt::SkipEmptyParts);
  }
  QString XmlPath() const {
    return platform::updater::PrivateTempFolder() + QStringLiteral("/update_scheduled_task.xml");
  }

  QTemporaryDir dir_;
  QString tool_;
};

TEST_F(RecordingToolTest, CreateRegistersTheGeneratedDocumentAndRemovesIt) {
  for (const char* exit_code : {"0", "1"}) {
    QFile::remove(dir_.filePath(QStringLiteral("calls")));
    qputenv("TOOL_EXIT", exit_code);
    EXPECT_EQ(CreateScheduledTask(), exit_code[0] == '0');
    EXPECT_EQ(Calls(), (QStringList{"/create", "/tn", "Renovix", "/xml", XmlPath(), "/f", "---"}));
    EXPECT_EQ(ParseDocument(DecodeUtf16(ReadFile(dir_.filePath(QStringLiteral("doc.xml"))))).command,
              ScheduledTaskCommand());
    EXPECT_FALSE(QFile::exists(XmlPath())) << "left behind after exit " << exit_code;
  }
}

TEST_F(RecordingToolTest, RunStartsTheTaskByNameAndReportsTheOutcome) {
  EXPECT_TRUE(RunScheduledTask());
  qputenv("TOOL_EXIT", "3");
  EXPECT_FALSE(RunScheduledTask());
  EXPECT_EQ(Calls(), (QStringList{"/run", "/tn", "Renovix", "---", "/run", "/tn", "Renovix", "---"}));
  qputenv("RENOVIX_TASK_TOOL", dir_.filePath(QStringLiteral("no-such-tool")).toLocal8Bit());
  EXPECT_FALSE(RunScheduledTask());
}

// The project's own tool, as the updater finds it in a real installation.
TEST(ScheduledTaskToolTest, RealToolRegistersAndReplacesTheTask) {
  // Placed in a folder of the test: root's registration goes beside the tool.
  QTemporaryDir bin;
  const QString tool = bin.filePath(QStringLiteral("renovix-tasks"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(RENOVIX_TASKS_PROGRAM), tool));
  ScopedEnv env("RENOVIX_TASK_TOOL", tool.toLocal8Bit());
  const QString stored = (::geteuid() == 0 ? bin.path() + QStringLiteral("/tasks")
                                           : qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/CastoraUpdate/tasks")) +
                         QStringLiteral("/Renovix.xml");
  QFile::remove(stored);
  EXPECT_TRUE(CreateScheduledTask());
  ASSERT_TRUE(QFile::exists(stored));
  EXPECT_EQ(ParseDocument(DecodeUtf16(ReadFile(stored))).command, ScheduledTaskCommand());
  EXPECT_TRUE(CreateScheduledTask()) << "a second registration replaces the first";
}

}  // namespace
