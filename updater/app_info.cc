#include "updater/app_info.h"

#include <cstdlib>
#include <exception>
#include <string>

#include <QCoreApplication>
#include <QFile>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "updater/updater_logger.h"

namespace {
const char* const kLogTag = kAppInfoLogTag;
}  // namespace

AppInfo& AppInfo::Instance() {
  static AppInfo info = [] {
    AppInfo loaded;
    if (!loaded.Load(QCoreApplication::applicationDirPath() +
                     QStringLiteral("/VersionConfig.json"))) {
      LogError(kLogTag, "Load app info failed");
      FlushLogger();
      std::exit(-1);
    }
    return loaded;
  }();
  return info;
}

bool AppInfo::Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    LogError(kLogTag, fmt::format("Open version config failed \"{}\"", path.toStdString()));
    return false;
  }
  const std::string text = file.readAll().toStdString();
  LogInfo(kLogTag, fmt::format("App version config json: {}", text));
  try {
    const nlohmann::json json = nlohmann::json::parse(text);
    const QString name = QString::fromStdString(json.at("appName").get<std::string>());
    const QString key = QString::fromStdString(json.at("appKey").get<std::string>());
    const QString version = QString::fromStdString(json.at("version").get<std::string>());
    LogInfo(kLogTag, QStringLiteral("App Name: \"%1\" App Key: \"%2\" Version: \"%3\"")
                         .arg(name, key, version)
                         .toStdString());
    app_name_ = name;
    app_key_ = key;
    version_ = version;
    return true;
  } catch (const std::exception& e) {
    LogError(kLogTag, fmt::format("Load app info exception: {}", e.what()));
    return false;
  }
}
