#include "client/translate.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include "client/ui/resource_bundle.h"
#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::language_name";
}  // namespace

QTranslator* Translate() {
  InitUiResources();
  const QLocale locale;
  LOG_INFO("locale name: {}, ui languages: {}", locale.name().toStdString(),
           locale.uiLanguages().join(QStringLiteral(" ")).toStdString());
  // Until the application object goes, at the very end of main.
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(locale, QString(), QString(), QStringLiteral(":/language"), QStringLiteral(".qm")))
    translator->load(QStringLiteral(":/language/en.qm"));
  QCoreApplication::installTranslator(translator);
  return translator;
}
