// The resource bundle: every image the windows name, the style sheets (scaled once),
// and the twelve catalogues with every text of the windows.
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "client/settings.h"
#include "client/ui/connect_page.h"
#include "client/ui/function_page.h"
#include "client/ui/mirror_page.h"
#include "client/ui/pin_code_page.h"
#include "utils/dpi_scale.h"
#include "utils/style_sheet.h"

namespace {

struct ImageCase {
  const char* path;
  int min_frames;  // more than one for the animations
};

TEST(UiResourcesTest, EveryNamedImageIsThere) {
  const ImageCase images[] = {
      {":/image/red_POINT.png", 1},     {":/image/green_POINT.png", 1},  {":/image/ZorvaxAir.ico", 1},
      {":/image/input_box_6.png", 1},   {":/image/input_box_8.png", 1},  {":/image/pic_loading.gif", 12},
      {":/image/single_star.gif", 10},  {":/image/join_star.gif", 10},   {":/image/pic_screenshare.png", 1},
      {":/image/pic_failure.png", 1},   {":/image/shadow_menu.png", 1},  {":/image/icon_logo.png", 1},
      {":/image/icon_warning.png", 1},  {":/image/icon_notice.png", 1},  {":/image/icon_success.png", 1},
      {":/image/btn_close.png", 1},     {":/image/btn_minimize.png", 1}, {":/image/btn_option.png", 1},
      {":/image/menu_checked.png", 1},  {":/image/menu_arrow.png", 1},   {":/image/checkbox_checked.png", 1},
      {":/image/checkbox_unchecked.png", 1},
  };
  for (const ImageCase& c : images) {
    SCOPED_TRACE(c.path);
    QImageReader reader(QString::fromLatin1(c.path));
    const QImage first = reader.read();
    ASSERT_FALSE(first.isNull()) << reader.errorString().toStdString();
    int frames = 1;
    while (reader.canRead() && !reader.read().isNull()) ++frames;
    EXPECT_GE(frames, c.min_frames);
  }
  // The input boxes keep the entry's proportions (n boxes of 52 x 64, 12 apart), at 2x.
  EXPECT_EQ(QImage(QStringLiteral(":/image/input_box_6.png")).size(), QSize(2 * 372, 2 * 64));
  EXPECT_EQ(QImage(QStringLiteral(":/image/input_box_8.png")).size(), QSize(2 * 500, 2 * 64));
}

TEST(UiResourcesTest, StyleSheetsCarryTheirObjectNames) {
  const std::pair<const char*, const char*> sheets[] = {
      {"pin_code_edit.qss", "input_box_6.png"}, {"pin_code_page.qss", "connect_btn_"},
      {"connect_page.qss", "cancel_btn_"},      {"failure_page.qss", "retry_btn_"},
      {"function_page.qss", "status_label_"},   {"mirror_page.qss", "stop_btn_"},
      {"mirror_button.qss", "name_label_"},     {"main_window.qss", "window_"},
      {"shadow_menu.qss", "shadow_menu.png"},   {"about.qss", "detail_label_"},
      {"close_dialog.qss", "confirm_btn_"},     {"interrupt_dialog.qss", "interrupt_dialog_"},
      {"tip_dialog.qss", "notice_label_"},
  };
  for (const auto& [name, needle] : sheets) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(utils::LoadStyleSheet(QString::fromLatin1(name)).contains(QLatin1String(needle)));
  }
}

// The pages' sheets are scaled when applied; the main window's scaling of its tree must
// not scale them again (27px at 1.5 is 41px, never 61px).
TEST(UiResourcesTest, PageSheetsAreScaledOnceEvenUnderTreeScaling) {
  ASSERT_DOUBLE_EQ(utils::DpiScaleFactor(), 1.5);
  MirrorPage page;
  utils::ScaleWidgetTree(&page);
  utils::ScaleWidgetTree(&page);
  EXPECT_TRUE(page.styleSheet().contains(QStringLiteral("border-radius: 41px")));
  EXPECT_FALSE(page.styleSheet().contains(QStringLiteral("border-radius: 27px")));
  EXPECT_EQ(page.findChild<QPushButton*>(QStringLiteral("stop_btn_"))->maximumSize(), QSize(420, 84));

  PinCodePage pin;
  utils::ScaleWidgetTree(&pin);
  auto* edit = pin.findChild<QWidget*>(QStringLiteral("pin_edit_6_"));
  EXPECT_TRUE(edit->styleSheet().contains(QStringLiteral("font-size: 63px")));  // 42px
  EXPECT_EQ(edit->maximumSize(), QSize(558, 96));                              // 372 x 64
  EXPECT_EQ(edit->findChild<QWidget*>(QStringLiteral("cursor"))->maximumSize(), QSize(3, 63));
}

// Every (context, source) of the English catalogue, read from the .ts source.
std::vector<std::pair<QString, QString>> CatalogueMessages() {
  std::vector<std::pair<QString, QString>> messages;
  QFile file(QStringLiteral(CASTORA_TRANSLATIONS_DIR "/en.ts"));
  if (!file.open(QIODevice::ReadOnly)) return messages;
  QXmlStreamReader xml(&file);
  QString context;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("name")) context = xml.readElementText();
    if (xml.name() == QLatin1String("source")) messages.emplace_back(context, xml.readElementText());
  }
  return messages;
}

TEST(UiTranslationsTest, EveryCatalogueTranslatesEveryText) {
  const auto messages = CatalogueMessages();
  ASSERT_GE(messages.size(), 50u);
  for (const char* lang : {"de", "en", "es", "fr", "it", "ja", "ko", "pt", "ru", "zh_CN", "zh_HK", "zh_TW"}) {
    SCOPED_TRACE(lang);
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(":/language/%1.qm").arg(QLatin1String(lang))));
    int differing = 0;
    for (const auto& [context, source] : messages) {
      const QString text = translator.translate(context.toUtf8().constData(), source.toUtf8().constData());
      EXPECT_FALSE(text.isEmpty()) << context.toStdString() << " / " << source.toStdString();
      if (text != source) ++differing;
      if (source.contains(QLatin1String("%1"))) {
        EXPECT_TRUE(text.contains(QLatin1String("%1"))) << source.toStdString();
      }
    }
    // Only the product's name stays as it is in the other languages.
    if (QLatin1String(lang) != QLatin1String("en")) {
      EXPECT_GE(differing, static_cast<int>(messages.size()) - 8);
    }
  }
}

TEST(UiTranslationsTest, EnglishTurnsTheKeyTextsIntoSentences) {
  QTranslator translator;
  ASSERT_TRUE(translator.load(QStringLiteral(":/language/en.qm")));
  EXPECT_EQ(translator.translate("InterruptPage", "InterruptQuitTips"),
            QStringLiteral("Sharing interrupted due to abnorm. net"));
  EXPECT_EQ(translator.translate("Castora", "Unconnected tip"), QStringLiteral("No device connected"));
  EXPECT_EQ(translator.translate("MainWindow", "Unconnected tip"), QStringLiteral("No device connected"));
  const QString quit = translator.translate("CloseDialog", "QuitTips");
  EXPECT_TRUE(quit.endsWith(QLatin1Char('?'))) << quit.toStdString();
  EXPECT_EQ(translator.translate("PinCodePage", "Connect"), QStringLiteral("Connect"));
}

TEST(UiTranslationsTest, PagesShowTheInstalledLanguage) {
  QTranslator translator;
  ASSERT_TRUE(translator.load(QStringLiteral(":/language/fr.qm")));
  QCoreApplication::installTranslator(&translator);
  Settings::SetPinCodeLen(6);
  PinCodePage pin;
  ConnectPage connecting;
  FunctionPage function;
  QCoreApplication::removeTranslator(&translator);
  EXPECT_EQ(pin.findChild<QLabel*>(QStringLiteral("status_label_"))->text(), QStringLiteral("Saisissez le code PIN"));
  EXPECT_EQ(pin.findChild<QPushButton*>(QStringLiteral("switch_edit_btn_"))->text(),
            QStringLiteral("Code PIN à 8 caractères >"));
  EXPECT_EQ(connecting.findChild<QPushButton*>(QStringLiteral("cancel_btn_"))->text(), QStringLiteral("Annuler"));
  EXPECT_EQ(function.findChild<QLabel*>(QStringLiteral("name_label_"))->text(),
            QStringLiteral("Partage plein écran"));
}

}  // namespace
