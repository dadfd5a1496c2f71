// The "Install" run inside the test process: a stub installer that records its
// arguments and ends as each case says; the client is a stub script that records its
// starts.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/updater/updater_run.h"
#include "updater/interaction.h"
#include "updater/renovix.h"
#include "updater/update_dialog_page.h"
#include "updater/update_finished_page.h"
#include "updater/updater_settings.h"

namespace {

TEST(RenovixInstallTest, OnlyAnInstallerEndingWithZeroCountsAsSuccess) {
  struct Case {
    const char* name;
    const char* installer_tail;  // nullptr: no installer at all
    bool success;
  };
  const Case cases[] = {
      {"exit 0", "exit 0\n", true},
      {"exit 1", "exit 1\n", false},
      {"crash", "kill -SEGV $$\n", false},
      {"missing", nullptr, false},
  };
  const QString installer = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/CastoraUpdate/CastoraSetup");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir(QStringLiteral(RENOVIX_TEST_WORK_DIR "/install-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString client = dir.filePath(QStringLiteral("Castora"));
    const QString starts = dir.filePath(QStringLiteral("client-starts"));
    const QString arguments = dir.filePath(QStringLiteral("installer-arguments"));
    ASSERT_TRUE(WriteScript(client, "#!/bin/sh\necho started >> \"" + starts.toLocal8Bit() + "\"\n"));
    QDir().mkpath(QFileInfo(installer).path());
    QFile::remove(installer);
    if (c.installer_tail) {
      ASSERT_TRUE(WriteScript(installer, "#!/bin/sh\necho \"$*\" > \"" + arguments.toLocal8Bit() + "\"\n" +
                                             QByteArray(c.installer_tail)));
    }
    UpdaterSettings& settings = UpdaterSettings::Instance();
    settings.SetAppPath(client);
    settings.SetUpdateAtNextStartup(true);
    settings.SetUpdateDescription(QStringLiteral("Bug fixes."));

    Renovix renovix(QStringLiteral("Install"));
    renovix.Run();
    Interaction& window = renovix.interaction();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.stack()->currentIndex(), 1);

    if (c.success) {
      // The bar runs to its end from where it stood, then the finished page.
      ASSERT_TRUE(QTest::qWaitFor([&] { return window.stack()->currentIndex() == 2; }, 20000));
      EXPECT_EQ(ReadAll(arguments), QStringLiteral("/S /type update\n"));
      EXPECT_FALSE(QFile::exists(installer));
      EXPECT_TRUE(ReadAll(starts).isEmpty());  // not before OK
      EXPECT_FALSE(settings.GetUpdateAtNextStartup());
      QTest::mouseClick(window.update_finished_page()->ok_button(), Qt::LeftButton);
      EXPECT_TRUE(QTest::qWaitFor([&] { return ReadAll(starts) == QStringLiteral("started\n"); }, 10000));
      EXPECT_TRUE(InProcessLog().contains(QStringLiteral("Install finished")));
      continue;
    }
    // A failed installer: no finished page, the client is started again (once, even
    // when errorOccurred and finished both report a crash) and the dialog's failure
    // state says so; the package is kept but no longer installed unasked at every
    // start.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ReadAll(starts).isEmpty(); }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(ReadAll(starts), QStringLiteral("started\n"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.stack()->currentIndex(), 0);
    EXPECT_EQ(window.update_dialog_page()->status_label()->text(),
              QStringLiteral("The update could not start, please try again later"));
    EXPECT_FALSE(settings.GetUpdateAtNextStartup());
    QTest::mouseClick(window.update_dialog_page()->cancel_button(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    if (c.installer_tail) {
      EXPECT_EQ(ReadAll(arguments), QStringLiteral("/S /type update\n"));
      EXPECT_TRUE(QFile::exists(installer));
    }
    const QString log = InProcessLog();
    EXPECT_TRUE(log.contains(QStringLiteral("[error] [RENOVIX::zorvax_update]: Install failed")));
    if (!c.installer_tail) {
      EXPECT_TRUE(log.contains(QStringLiteral("Install preocess error: FailedToStart")));
    }
    EXPECT_TRUE(log.contains(QStringLiteral("Start program \"%1\"").arg(client)));
  }
}

}  // namespace
