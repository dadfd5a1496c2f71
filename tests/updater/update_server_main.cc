// A loopback update server for the demo and the end-to-end checks.
//
//   update_server_main [--package FILE] [--origin-version V | --version-config JSON]
//                      [--description TEXT] [--name TEXT] [--no-update]
//                      [--reply FILE] [--port-file FILE]
//
// With --package, "/api/v1/update" offers FILE (served at "/download/<its name>",
// ranges honoured) with its MD5, for the installed version V (or the "version" of
// the given VersionConfig.json). --no-update answers
// "hasUpdate": false; --reply answers with the JSON in that file instead. The first
// line on standard output is "listening on http://127.0.0.1:<port>"; then one line per
// request. Runs until it is ended by a signal.
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/updater/update_server.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption package(QStringLiteral("package"), "Installer to offer.", "file");
  const QCommandLineOption origin(QStringLiteral("origin-version"), "Installed version the package applies to.",
                                  "version");
  const QCommandLineOption version_config(QStringLiteral("version-config"),
                                          "Take the installed version from this file.", "file");
  const QCommandLineOption description(QStringLiteral("description"), "Update description.", "text");
  const QCommandLineOption name(QStringLiteral("name"), "Package name.", "text", "Castora");
  const QCommandLineOption no_update(QStringLiteral("no-update"), "Offer no update.");
  const QCommandLineOption reply(QStringLiteral("reply"), "Answer the check with this JSON file.", "file");
  const QCommandLineOption port_file(QStringLiteral("port-file"), "Write the port number here.", "file");
  parser.addOptions({package, origin, version_config, description, name, no_update, reply, port_file});
  parser.process(app);

  updater_test::UpdateServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
    return 1;
  }

  if (parser.isSet(reply)) {
    QFile file(parser.value(reply));
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "cannot read %s\n", qPrintable(parser.value(reply)));
      return 1;
    }
    server.SetUpdateReply(file.readAll());
  } else {
    QString origin_version = parser.value(origin);
    if (!parser.isSet(origin) && parser.isSet(version_config)) {
      QFile file(parser.value(version_config));
      if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(parser.value(version_config)));
        return 1;
      }
      origin_version =
          QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("version")).toString();
    }
    QJsonObject answer{{"name", parser.value(name)},
                       {"originVersionCode", origin_version},
                       {"downloadUrl", QString()},
                       {"fileMd5", QString()},
                       {"hasUpdate", false},
                       {"updateDesc", parser.value(description)}};
    if (parser.isSet(package) && !parser.isSet(no_update)) {
      QFile file(parser.value(package));
      if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(parser.value(package)));
        return 1;
      }
      const QByteArray bytes = file.readAll();
      const QString path =
          QStringLiteral("/download/") + QFileInfo(parser.value(package)).fileName();
      server.SetResponse(path, updater_test::Response::File(bytes));
      answer[QStringLiteral("downloadUrl")] = server.BaseUrl() + path;
      answer[QStringLiteral("fileMd5")] = QString::fromLatin1(
          QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
      answer[QStringLiteral("hasUpdate")] = true;
    }
    server.SetUpdateReply(QJsonDocument(answer).toJson(QJsonDocument::Compact));
  }

  if (parser.isSet(port_file)) {
    // Written whole or not at all: a reader never sees half a number.
    QSaveFile file(parser.value(port_file));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray::number(server.port()) + "\n") <= 0 || !file.commit()) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(parser.value(port_file)));
      return 1;
    }
  }
  std::printf("listening on %s\n", qPrintable(server.BaseUrl()));
  std::fflush(stdout);
  QObject::connect(&server, &updater_test::UpdateServer::RequestReceived,
                   [](const updater_test::RecordedRequest& request) {
                     const QByteArray range = request.header("range");
                     std::printf("%s %s%s%s\n", request.method.constData(),
                                 request.target.constData(), range.isEmpty() ? "" : " Range: ",
                                 range.constData());
                     std::fflush(stdout);
                   });
  return app.exec();
}
