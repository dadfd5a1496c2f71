#include "updater/update_info.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include "platform/updater/hardware_address.h"
#include "tests/updater/update_server.h"
#include "updater/downloader.h"
#include "updater/installer_file.h"

namespace {

using updater_test::Response;
using updater_test::UpdateServer;

QByteArray Reply(bool has_update, const char* origin = "1.2.3",
                 const char* url = "http://127.0.0.1:1/CastoraSetup.exe",
                 const char* md5 = "0123456789abcdef0123456789abcdef") {
  return QStringLiteral(R"({"name":"Castora","originVersionCode":"%1","downloadUrl":"%2",)"
                        R"("fileMd5":"%3","hasUpdate":%4,"updateDesc":"New things"})")
      .arg(QLatin1String(origin), QLatin1String(url), QLatin1String(md5),
           has_update ? QStringLiteral("true") : QStringLiteral("false"))
      .toUtf8();
}

class UpdateInfoTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    qputenv("RENOVIX_UPDATE_SERVER", server_.BaseUrl().toLatin1());
  }
  void TearDown() override {
    qunsetenv("RENOVIX_UPDATE_SERVER");
    platform::updater::SetInterfacesForTesting(std::nullopt);
  }

  UpdateServer server_;
  UpdateInfo info_;
};

TEST_F(UpdateInfoTest, AnswersDecideWhetherAnUpdateApplies) {
  struct Case {
    const char* what;
    QByteArray reply;
    bool need_update;
  };
  const Case cases[] = {
      {"no update", Reply(false), false},
      {"update for this version", Reply(true), true},
      {"update for another version", Reply(true, "1.2.2"), false},
      {"version compared exactly", Reply(true, "1.2.3 "), false},
  };
  for (const Case& c : cases) {
    server_.SetUpdateReply(c.reply);
    EXPECT_TRUE(info_.FetchUpdateInfo()) << c.what;
    EXPECT_EQ(info_.NeedUpdate(), c.need_update) << c.what;
  }
  server_.SetUpdateReply(Reply(true));
  ASSERT_TRUE(info_.FetchUpdateInfo());
  EXPECT_EQ(info_.GetDownloadUrl(), QStringLiteral("http://127.0.0.1:1/CastoraSetup.exe"));
  EXPECT_EQ(info_.GetFileMd5(), QStringLiteral("0123456789abcdef0123456789abcdef"));
  EXPECT_EQ(info_.GetUpdateDescription(), QStringLiteral("New things"));
}

// The pieces agree: the offered address and MD5 fetch a package that verifies.
TEST_F(UpdateInfoTest, OfferedPackageDownloadsAndVerifies) {
  const QByteArray package("#!/bin/sh\necho installing\n");
  const QString md5 =
      QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());
  server_.SetResponse(QStringLiteral("/files/CastoraSetup.exe"), Response::File(package));
  const QString url = server_.BaseUrl() + QStringLiteral("/files/CastoraSetup.exe");
  server_.SetUpdateReply(Reply(true, "1.2.3", url.toLatin1().constData(), md5.toLatin1().constData()));
  ASSERT_TRUE(info_.FetchUpdateInfo());
  ASSERT_TRUE(info_.NeedUpdate());

  QTemporaryDir dir;
  const QString save_path = dir.filePath(QStringLiteral("CastoraUpdate/CastoraSetup.exe"));
  Downloader downloader;
  QSignalSpy finished(&downloader, &Downloader::Finished);
  downloader.Download(QUrl(info_.GetDownloadUrl(), QUrl::TolerantMode), save_path);
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_EQ(finished[0][0].value<Downloader::DownloadState>(), Downloader::kDone);
  EXPECT_TRUE(VerifyInstallerAndMakeExecutable(save_path, info_.GetFileMd5()));
}

TEST_F(UpdateInfoTest, BrokenAnswerCountsAsACheckWithoutUpdateAndMixesNothing) {
  const char* const broken[] = {
      // A new address and MD5 come before the member that fails: none may be taken.
      R"({"name":"x","originVersionCode":"1.2.3","downloadUrl":"http://evil/x.exe",)"
      R"("fileMd5":"ffffffffffffffffffffffffffffffff","hasUpdate":"yes","updateDesc":"d"})",
      R"({"name":"x","originVersionCode":"1.2.3","downloadUrl":"http://evil/x.exe",)"
      R"("fileMd5":"ffffffffffffffffffffffffffffffff","hasUpdate":true})",
      R"({"name":"x","originVersionCode":"1.2.3","downloadUrl":"http://evil/x.exe")",
      "<html>busy</html>",
      "",
      "[]",
  };
  for (const char* body : broken) {
    server_.SetUpdateReply(Reply(true));
    ASSERT_TRUE(info_.FetchUpdateInfo());
    ASSERT_TRUE(info_.NeedUpdate());

    server_.SetUpdateReply(body);
    EXPECT_TRUE(info_.FetchUpdateInfo()) << body;
    EXPECT_FALSE(info_.NeedUpdate()) << body;
    EXPECT_EQ(info_.GetDownloadUrl(), QStringLiteral("http://127.0.0.1:1/CastoraSetup.exe"))
        << body;
    EXPECT_EQ(info_.GetFileMd5(), QStringLiteral("0123456789abcdef0123456789abcdef")) << body;
  }
}

TEST_F(UpdateInfoTest, RedirectIsNotFollowedAndOffersNothing) {
  server_.SetResponse(UpdateServer::UpdatePath(),
                      Response::Redirect(302, server_.BaseUrl() + QStringLiteral("/mirror")));
  server_.SetResponse(QStringLiteral("/mirror"), Response::Json(Reply(true)));
  EXPECT_TRUE(info_.FetchUpdateInfo());
  EXPECT_FALSE(info_.NeedUpdate());
  EXPECT_TRUE(server_.RequestsFor(QStringLiteral("/mirror")).empty());
}

TEST_F(UpdateInfoTest, NetworkFailuresDoNotCountAsACheck) {
  info_.SetRequestTimeout(500);
  Response hang;
  hang.hang = true;
  Response endless = Response::Json(QByteArray(3 << 20, ' '));
  struct Case {
    const char* what;
    Response response;
  };
  const Case cases[] = {
      {"404", Response::Status(404)},
      {"500", Response::Status(500)},
      {"accepted but never answered", hang},
      {"answer far too large", endless},
  };
  for (const Case& c : cases) {
    server_.SetResponse(UpdateServer::UpdatePath(), c.response);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(info_.FetchUpdateInfo()) << c.what;
    EXPECT_LT(elapsed.elapsed(), 10000) << c.what;
    EXPECT_FALSE(info_.NeedUpdate()) << c.what;
  }

  // Nothing listens on the port any more.
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
  const quint16 port = closed.serverPort();
  closed.close();
  qputenv("RENOVIX_UPDATE_SERVER", QStringLiteral("http://127.0.0.1:%1").arg(port).toLatin1());
  EXPECT_FALSE(info_.FetchUpdateInfo());
}

TEST_F(UpdateInfoTest, RequestCarriesTheInstallationsIdentity) {
  server_.SetUpdateReply(Reply(false));
  ASSERT_TRUE(info_.FetchUpdateInfo());
  ASSERT_EQ(server_.requests().size(), 1u);
  const updater_test::RecordedRequest& request = server_.requests()[0];
  EXPECT_EQ(request.method, QByteArray("GET"));
  EXPECT_EQ(request.url().path(), QStringLiteral("/api/v1/update"));
  const QUrlQuery query(request.url());
  EXPECT_EQ(query.queryItemValue(QStringLiteral("appKey")), QStringLiteral("test-key"));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("versionCode")), QStringLiteral("1.2.3"));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("platform")), QStringLiteral("windows_app"));
  ASSERT_TRUE(query.hasQueryItem(QStringLiteral("deviceMac")));
  const QString mac = query.queryItemValue(QStringLiteral("deviceMac"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^(([0-9A-F]{2}:){5}[0-9A-F]{2})?$"))
                  .match(mac)
                  .hasMatch())
      << mac.toStdString();
  EXPECT_TRUE(request.target.startsWith(
      "/api/v1/update?appKey=test-key&versionCode=1.2.3&platform=windows_app&deviceMac="))
      << request.target.toStdString();
}

TEST_F(UpdateInfoTest, OnlyTheLoopbackUpSendsAnEmptyDeviceMac) {
  platform::updater::SetInterfacesForTesting(std::vector<platform::updater::NetworkInterfaceFacts>{
      {true, true, true, QStringLiteral("00:00:00:00:00:00")},
      {false, false, false, QStringLiteral("52:54:00:12:34:56")},
  });
  server_.SetUpdateReply(Reply(false));
  ASSERT_TRUE(info_.FetchUpdateInfo());
  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_TRUE(server_.requests()[0].target.endsWith("&deviceMac="))
      << server_.requests()[0].target.toStdString();
}

}  // namespace
