#include "updater/scheduled_task.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QTextStream>

#include "platform/updater/private_temp_folder.h"
#include "platform/updater/task_tool.h"
#include "updater/updater_logger.h"

// The resource lives in a static library: it must be registered by name before use.
static void InitScheduledTaskResource() { Q_INIT_RESOURCE(updater_core); }

namespace {

const char* const kLogTag = kScheduledTaskLogTag;
const QString kTemplatePath = QStringLiteral(":/other/scheduled_task_template.xml");

// Text placed into an element of the task document. Paths with '&' or '<' must not
// break it; ordinary values come out unchanged.
QString XmlText(const QString& value) { return value.toHtmlEscaped(); }

}  // namespace

QString ScheduledTaskCommand() {
  // No folder: the task tool finds the copy in the private temporary folder of the
  // user and environment that start the task, where PrepareInstall put it. A folder
  // fixed here would be the registering user's (root's, for a package script) or
  // another environment's.
  return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

bool GenerateScheduledTaskXml(QString* xml_path) {
  InitScheduledTaskResource();
  const QString folder = platform::updater::PrivateTempFolder();
  if (folder.isEmpty()) {
    // No safe place for the document: nothing is written (and never to "/").
    xml_path->clear();
    return false;
  }
  *xml_path = folder + QStringLiteral("/update_scheduled_task.xml");

  QFile source(kTemplatePath);
  if (!source.open(QIODevice::ReadOnly)) return false;
  QTextStream in(&source);
  in.setCodec(QTextCodec::codecForName("UTF-16"));
  const QString text = in.readAll().arg(
      XmlText(QStringLiteral("Zorvax")),
      XmlText(QStringLiteral("Start the zorvax update program as an administrator.")),
      XmlText(ScheduledTaskCommand()), XmlText(QStringLiteral("Install")));

  QFile target(*xml_path);
  if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream out(&target);
  out.setCodec(QTextCodec::codecForName("UTF-16LE"));
  out.setGenerateByteOrderMark(true);
  out << text;
  out.flush();
  target.close();
  return out.status() == QTextStream::Ok && target.error() == QFileDevice::NoError;
}

bool CreateScheduledTask() {
  QString xml_path;
  if (GenerateScheduledTaskXml(&xml_path)) {
    LogInfo(kLogTag, "Generate scheduled task xml successfully");
  } else {
    LogError(kLogTag, "Generate scheduled task xml failed");
  }
  QString failure;
  const int code = platform::updater::RunTaskTool(
      {QStringLiteral("/create"), QStringLiteral("/tn"), QLatin1String(kScheduledTaskName),
       QStringLiteral("/xml"), xml_path, QStringLiteral("/f")},
      60000, &failure);
  if (!xml_path.isEmpty()) QFile::remove(xml_path);
  if (code != 0) {
    LogError(kLogTag, "Register scheduled task failed: " + failure.toStdString());
    return false;
  }
  LogInfo(kLogTag, "Register scheduled task successfully");
  return true;
}

QString QueryScheduledTask(QString* failure) {
  QString output;
  const int code = platform::updater::RunTaskTool(
      {QStringLiteral("/query"), QStringLiteral("/tn"), QLatin1String(kScheduledTaskName)}, 60000, failure,
      &output);
  if (code != 0) return QString();
  const QString program = output.section(QLatin1Char('\n'), 0, 0).trimmed();
  if (program.isEmpty()) *failure = QStringLiteral("the task tool named no program");
  return program;
}

bool RunScheduledTask() {
  QString failure;
  const int code = platform::updater::RunTaskTool(
      {QStringLiteral("/run"), QStringLiteral("/tn"), QLatin1String(kScheduledTaskName)}, 60000, &failure);
  if (code != 0) {
    LogError(kLogTag, "Run scheduled task failed: " + failure.toStdString());
    return false;
  }
  LogInfo(kLogTag, "Run scheduled task successfully");
  return true;
}
