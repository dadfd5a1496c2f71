#include "updater/startup.h"

#include <fmt/format.h>

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include "updater/build_info.h"
#include "updater/updater_logger.h"

// The bundle lives in a static library: it must be registered by name before use.
static void InitUpdaterResourceBundle() { Q_INIT_RESOURCE(renovix); }

QString BuildBanner(const QString& application_name, const QString& version, const QString& commit,
                    const QString& build_date_time) {
  const QString unknown = QStringLiteral("Unknown");
  return QStringLiteral("%1 Version: %2(%3) Compile at: %4")
      .arg(application_name, version.isEmpty() ? unknown : version,
           commit.isEmpty() ? unknown : commit.left(6), build_date_time);
}

QString BuildBanner(const QString& application_name) {
  const QString date_time = QStringLiteral("%1-%2-%3 %4")
                                .arg(QStringLiteral(RENOVIX_BUILD_YEAR), QStringLiteral(RENOVIX_BUILD_MONTH),
                                     QStringLiteral(RENOVIX_BUILD_DAY), QStringLiteral(RENOVIX_BUILD_TIME_TEXT));
  return BuildBanner(application_name, QStringLiteral(RENOVIX_VERSION_TEXT), QStringLiteral(RENOVIX_COMMIT_TEXT),
                     date_time);
}

void InitUpdaterResources() {
  static const bool done = [] {
    InitUpdaterResourceBundle();
    return true;
  }();
  (void)done;
}

QTranslator* LoadUpdaterTranslation() {
  InitUpdaterResources();
  const QLocale locale;
  LogInfo(kLanguageNameLogTag,
          fmt::format("locale name: {}, ui languages: {}", locale.name().toStdString(),
                      locale.uiLanguages().join(QStringLiteral(" ")).toStdString()));
  // Until the application object goes, at the very end of main.
  auto* translator = new QTranslator(QCoreApplication::instance());
  const bool loaded = translator->load(locale, QString(), QString(), QStringLiteral(":/language"), QStringLiteral(".qm"));
  LogInfo(kLanguageNameLogTag, fmt::format("translator->load: {}", loaded ? "true" : "false"));
  QCoreApplication::installTranslator(translator);
  return translator;
}
