// The Renovix program's download of an offered package: whether a partial file from an
// earlier run is continued.
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/updater/update_server.h"
#include "tests/updater/updater_run.h"
#include "updater/updater_settings.h"

namespace {

// A partial file is continued only when the offer is the very package the earlier run
// started: the same address and the same MD5 text. Any other offer downloads from 0,
// so that no part of another package ends up in the file.
TEST(RenovixDownloadTest, OnlyTheSamePackageResumesThePartialFile) {
  QByteArray package = "#!/bin/sh\nexit 0\n";
  package += QByteArray(3000, '#') + "\n";
  const QString md5 = QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());
  const struct {
    const char* what;
    bool same_url;
    bool same_md5;
    QByteArray range;  // sent with the download request
  } cases[] = {
      {"the same package", true, true, "bytes=1000-"},
      {"another address", false, true, QByteArray()},
      {"another MD5", true, false, QByteArray()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UpdaterRun run;
    ASSERT_TRUE(run.valid());
    const QString version = run.InstalledVersion();
    ASSERT_FALSE(version.isEmpty());
    updater_test::UpdateServer server;
    ASSERT_TRUE(server.Start());
    const QString url = server.BaseUrl() + QStringLiteral("/download/CastoraSetup");
    server.SetResponse(QStringLiteral("/download/CastoraSetup"), updater_test::Response::File(package));
    const QJsonObject answer{{"name", "Castora"},      {"originVersionCode", version}, {"downloadUrl", url},
                             {"fileMd5", md5},         {"hasUpdate", true},            {"updateDesc", "Fixes."}};
    server.SetUpdateReply(QJsonDocument(answer).toJson(QJsonDocument::Compact));
    run.env().insert(QStringLiteral("RENOVIX_UPDATE_SERVER"), server.BaseUrl());
    {
      UpdaterSettings settings(run.SettingsPath());
      settings.SetLastCheckUpdateDate(QStringLiteral("2000-01-01"));
      settings.SetLastDownloadUrl(c.same_url ? url : server.BaseUrl() + QStringLiteral("/download/Old"));
      settings.SetLastDownloadFileMd5(c.same_md5 ? md5 : QStringLiteral("0123456789abcdef0123456789abcdef"));
    }
    QFile partial(run.InstallerPath() + QStringLiteral(".download"));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write(package.left(1000));
    partial.close();

    FakeClient client(run.env());
    ASSERT_TRUE(client.Start());
    QProcess updater;
    run.Start(updater, {QStringLiteral("BackgroundRun")});
    // kUpdateReady: the file was complete and its MD5 matched.
    EXPECT_TRUE(client.WaitForLine(QStringLiteral("received 3")));
    ASSERT_TRUE(client.QuitWith(updater));

    const auto requests = server.RequestsFor(QStringLiteral("/download/CastoraSetup"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header("range"), c.range);
    QFile installer(run.InstallerPath());
    ASSERT_TRUE(installer.open(QIODevice::ReadOnly));
    EXPECT_EQ(installer.readAll(), package);
    // The offer is now the package the next run may continue.
    UpdaterSettings settings(run.SettingsPath());
    EXPECT_EQ(settings.GetLastDownloadUrl(), url);
    EXPECT_EQ(settings.GetLastDownloadFileMd5(), md5);
  }
}

}  // namespace
