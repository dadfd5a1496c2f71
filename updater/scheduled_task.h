#pragma once

#include <QString>

// The scheduled task "Renovix" that starts the updater's temporary copy with the run
// type "Install". Registered once from the outside (run type "CreateScheduledTask"),
// started by name when the client has exited for an installation. The task tool is
// platform::updater::TaskToolProgram().

inline constexpr char kScheduledTaskName[] = "Renovix";

// The task's Command: the updater's own file name, without a folder. The task tool
// resolves it when the task starts to the copy in the private temporary folder
// (platform::updater::PrivateTempFolder()) of the user who starts it, the folder into
// which PrepareInstall copies: one rule, at one time, for both.
QString ScheduledTaskCommand();

// Fills the task template (values escaped for XML) and writes it as UTF-16 with a
// byte order mark to "<temporary folder>/update_scheduled_task.xml". The path is set
// even when writing fails.
bool GenerateScheduledTaskXml(QString* xml_path);

// Generates the document, registers it with "/create /tn Renovix /xml <file> /f",
// deletes the document whatever the outcome; true when the tool reported success.
bool CreateScheduledTask();

// "/query /tn Renovix": the program the task would start now (resolved by the tool);
// empty with `failure` set when there is no such task or the tool fails.
QString QueryScheduledTask(QString* failure);

// "/run /tn Renovix"; true when the tool reported success. Logged either way, a failure
// with the tool's reason.
bool RunScheduledTask();
