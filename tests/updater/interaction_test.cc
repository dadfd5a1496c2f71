// The update dialog at 144 DPI (factor 1.5): the panel's geometry, the description
// that grows it, the buttons and the progress that ends on the finished page.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include "updater/interaction.h"
#include "updater/update_dialog_page.h"
#include "updater/update_finished_page.h"
#include "updater/updater_settings.h"
#include "updater/updating_page.h"
#include "utils/dpi_scale.h"

namespace {

QString Lines(int count) {
  QStringList lines;
  for (int i = 1; i <= count; ++i) lines << QStringLiteral("%1. Something in this version is better.").arg(i);
  return lines.join(QLatin1Char('\n'));
}

TEST(InteractionTest, PanelIsScaledOnceAndGrowsWithTheDescription) {
  ASSERT_DOUBLE_EQ(utils::DpiScaleFactor(), 1.5);
  struct Case {
    int lines;
    int min_added;  // logical pixels added to the panel
    int max_added;
  };
  const Case cases[] = {
      {0, 0, 0},       // no description: the page as it is
      {1, 0, 0},       // one line fits the base height
      {8, 1, 549},     // grows by whole pixels
      {200, 550, 550}, // never by more than 800 - 250
  };
  for (const Case& c : cases) {
    Interaction window;
    QSignalSpy resized(window.update_dialog_page(), &UpdateDialogPage::ResizeWindowHeight);
    window.ShowUpdateDialog(c.lines == 0 ? QString() : Lines(c.lines));
    const int added = resized.isEmpty() ? 0 : resized.last().at(0).toInt();
    EXPECT_GE(added, c.min_added) << c.lines;
    EXPECT_LE(added, c.max_added) << c.lines;
    // The outer window keeps its size; the panel is centred in it, each value scaled
    // once from logical pixels (the window's height must not be scaled twice).
    EXPECT_EQ(window.size(), QSize(630, 1230));
    const QRect panel = window.panel()->geometry();
    EXPECT_EQ(panel, QRect(15, utils::DpiScaled((820 - added - 250) / 2 - 2), 600, utils::DpiScaled(250 + added)))
        << c.lines;
    EXPECT_LE(panel.bottom(), window.height()) << c.lines;
    EXPECT_EQ(window.stack()->size(), panel.size()) << c.lines;
    // The buttons move down by the same amount.
    EXPECT_EQ(window.update_dialog_page()->update_button()->y(), utils::DpiScaled(186 + added)) << c.lines;
    EXPECT_EQ(window.update_dialog_page()->cancel_button()->y(), utils::DpiScaled(186 + added)) << c.lines;
    EXPECT_EQ(window.update_dialog_page()->update_button()->geometry().bottom() < panel.height(), true) << c.lines;
  }
}

// The line that says Update could not start is longer than the panel is wide at a
// desk's fonts: it wraps, shows whole, and pushes the description and the buttons down;
// the offer, shown again, is laid out as before.
TEST(InteractionTest, FailureTextShowsInFullAndTheOfferComesBackAsItWas) {
  for (const int lines : {0, 1, 8, 200}) {
    SCOPED_TRACE(lines);
    Interaction window;
    UpdateDialogPage* page = window.update_dialog_page();
    window.ShowUpdateDialog(lines == 0 ? QString() : Lines(lines));
    const QRect offer_status = page->status_label()->geometry();
    const QRect offer_panel = window.panel()->geometry();
    const QRect offer_description = page->description_label()->geometry();
    const QRect offer_update = page->update_button()->geometry();

    window.ShowUpdateFailed();
    QLabel* status = page->status_label();
    EXPECT_EQ(status->text(), QStringLiteral("The update could not start, please try again later"));
    // Every word inside the label, the label inside the panel and above the description.
    const QRect text = status->fontMetrics().boundingRect(QRect(0, 0, status->width(), 10000),
                                                          int(status->alignment()) | Qt::TextWordWrap, status->text());
    EXPECT_LE(text.width(), status->width());
    EXPECT_LE(text.height(), status->height());
    EXPECT_GE(status->x(), 0);
    EXPECT_LE(status->geometry().right(), window.panel()->width());
    EXPECT_LE(status->geometry().bottom(), page->description_label()->y());
    EXPECT_LE(page->description_label()->geometry().bottom(), page->update_button()->y());
    EXPECT_EQ(page->cancel_button()->y(), page->update_button()->y());
    EXPECT_LT(page->update_button()->geometry().bottom(), window.panel()->height());
    EXPECT_EQ(window.stack()->size(), window.panel()->size());
    EXPECT_LE(window.panel()->geometry().bottom(), window.height());

    window.ShowUpdateDialog(lines == 0 ? QString() : Lines(lines));
    EXPECT_EQ(page->status_label()->text(), QStringLiteral("Update is available"));
    EXPECT_EQ(page->status_label()->geometry(), offer_status);
    EXPECT_EQ(window.panel()->geometry(), offer_panel);
    EXPECT_EQ(page->description_label()->geometry(), offer_description);
    EXPECT_EQ(page->update_button()->geometry(), offer_update);
  }
}

TEST(InteractionTest, CancelKeepsThePendingPackageAndUpdateHandsOver) {
  UpdaterSettings& settings = UpdaterSettings::Instance();
  settings.SetUpdateAtNextStartup(true);
  Interaction window;
  QSignalSpy update_now(&window, &Interaction::UpdateNow);

  window.ShowUpdateDialog(QStringLiteral("Bug fixes."));
  ASSERT_TRUE(window.isVisible());
  EXPECT_EQ(window.stack()->currentIndex(), 0);
  QTest::mouseClick(window.update_dialog_page()->cancel_button(), Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(settings.GetUpdateAtNextStartup());
  EXPECT_EQ(update_now.count(), 0);

  window.ShowUpdateDialog(QStringLiteral("Bug fixes."));
  QTest::mouseClick(window.update_dialog_page()->update_button(), Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
  // Still pending: only the hand-over itself, once it has happened, settles it.
  EXPECT_TRUE(settings.GetUpdateAtNextStartup());
  EXPECT_EQ(update_now.count(), 1);
}

// The installer ends before the ticks reach 98 %: the bar runs on from where it is to
// 100 % at its usual speed, then the finished page shows the stored description when
// a pending package was installed, or the fixed wish, centred.
TEST(InteractionTest, ProgressRunsToTheEndBeforeTheFinishedPage) {
  struct Case {
    bool pending;
    QString expected_text;
    Qt::Alignment expected_alignment;
  };
  const Case cases[] = {
      {true, QStringLiteral("Bug fixes."), Qt::AlignLeft | Qt::AlignVCenter},
      {false, QStringLiteral("Hope you enjoy the new version"), Qt::AlignCenter},
  };
  for (const Case& c : cases) {
    UpdaterSettings& settings = UpdaterSettings::Instance();
    settings.SetUpdateAtNextStartup(c.pending);
    settings.SetUpdateDescription(QStringLiteral("Bug fixes."));
    Interaction window;
    QSignalSpy finished(window.updating_page(), &UpdatingPage::UpdateFinished);
    window.ShowUpdating();
    EXPECT_EQ(window.stack()->currentIndex(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.progress() >= 3; }, 5000));
    // The bar stands at 90 % when the installer ends (a shorter way for the test).
    QSlider* slider = window.updating_page()->slider();
    slider->setValue(900);
    const int from = slider->value();
    window.FinishUpdating();
    // At 0.1 units per ms the rest of the way takes (1000 - from) * 10 ms.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty(); }, (1000 - from) * 10 + 5000));
    EXPECT_EQ(window.updating_page()->percent_label()->text(), QStringLiteral("100%"));
    EXPECT_EQ(window.stack()->currentIndex(), 1);  // the page follows after 500 ms
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.stack()->currentIndex() == 2; }, 3000));
    QLabel* description = window.update_finished_page()->description_label();
    EXPECT_EQ(description->text(), c.expected_text) << c.pending;
    EXPECT_EQ(description->alignment(), c.expected_alignment) << c.pending;
    EXPECT_FALSE(settings.GetUpdateAtNextStartup());
    QTest::qWait(200);
    EXPECT_EQ(finished.count(), 1);
  }
}

// Every catalogue the updater ships translates the dialog's texts; the pages pick them
// up when they are built.
TEST(InteractionTest, CataloguesTranslateThePages) {
  struct Case {
    const char* language;
    const char* title;
    const char* update;
    const char* wish;
  };
  const Case cases[] = {
      {"en", "DavuvuVeriv Update", "Update", "Hope you enjoy the new version"},
      {"zh_CN", "DavuvuVeriv 更新", "立即更新", "希望您喜欢新版本"},
      {"zh_HK", "DavuvuVeriv 更新", "立即更新", "希望您喜歡新版本"},
      {"zh_TW", "DavuvuVeriv 更新", "立即更新", "希望您喜歡新版本"},
  };
  for (const Case& c : cases) {
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(":/language/%1.qm").arg(QLatin1String(c.language)))) << c.language;
    QCoreApplication::installTranslator(&translator);
    {
      Interaction window;
      EXPECT_EQ(window.windowTitle(), QString::fromUtf8(c.title)) << c.language;
      EXPECT_EQ(window.update_dialog_page()->update_button()->text(), QString::fromUtf8(c.update)) << c.language;
      EXPECT_EQ(window.update_finished_page()->description_label()->text(), QString::fromUtf8(c.wish)) << c.language;
    }
    QCoreApplication::removeTranslator(&translator);
  }
}

}  // namespace
