#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMovie>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "client/ui/connect_page.h"
#include "client/ui/failure_page.h"
#include "client/ui/function_page.h"
#include "client/ui/mirror_button.h"
#include "client/ui/mirror_page.h"
#include "client/ui/pin_code_page.h"
#include "utils/dpi_scale.h"

namespace {

// The button shadow every page carries, at 144 DPI: blur 24, offset (0, 12).
void ExpectButtonShadow(QWidget* button) {
  auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(button->graphicsEffect());
  ASSERT_NE(shadow, nullptr);
  EXPECT_DOUBLE_EQ(shadow->blurRadius(), 24.0);
  EXPECT_EQ(shadow->offset(), QPointF(0, 12));
  EXPECT_EQ(shadow->color(), QColor(20, 78, 127, 25));
}

template <typename Page, typename Signal>
void ExpectButtonEmits(const char* button_name, Signal signal) {
  Page page;
  auto* button = page.template findChild<QPushButton*>(QString::fromLatin1(button_name));
  ASSERT_NE(button, nullptr) << button_name;
  ExpectButtonShadow(button);
  QSignalSpy spy(&page, signal);
  button->click();
  EXPECT_EQ(spy.count(), 1) << button_name;
}

// The object names are what the style sheets and the main window key on.
TEST(PagesTest, FormsCarryTheirObjectNames) {
  PinCodePage pin;
  ConnectPage connecting;
  FailurePage failure;
  FunctionPage function;
  MirrorPage mirror;
  const std::pair<QWidget*, std::vector<const char*>> forms[] = {
      {&pin,
       {"status_label_", "tips_label_", "stackedWidget", "pin_edit_6_", "pin_edit_8_", "error_info_label_",
        "switch_edit_btn_", "connect_btn_", "auto_mirror_checkbox_"}},
      {&connecting, {"status_label_", "tips_label_", "loading_label_", "cancel_btn_"}},
      {&failure, {"status_label_", "tips_label_", "pc_label_", "retry_btn_"}},
      {&function, {"status_label_", "tips_label_", "single_mirror_btn_", "join_mirror_btn_", "Form", "gif_label_",
                   "name_label_"}},
      {&mirror, {"mirror_label_", "status_label_", "stop_btn_"}},
  };
  for (const auto& [page, names] : forms) {
    for (const char* name : names) {
      EXPECT_NE(page->findChild<QWidget*>(QString::fromLatin1(name)), nullptr)
          << page->metaObject()->className() << " " << name;
    }
  }
  EXPECT_TRUE(pin.findChild<QWidget*>(QStringLiteral("error_info_label_"))->isHidden());
  EXPECT_EQ(failure.findChild<QLabel*>(QStringLiteral("status_label_"))->text(), QStringLiteral("Connection failed"));
}

TEST(PagesTest, EachPageButtonEmitsItsSignal) {
  ExpectButtonEmits<ConnectPage>("cancel_btn_", &ConnectPage::Cancel);
  ExpectButtonEmits<FailurePage>("retry_btn_", &FailurePage::Retry);
  ExpectButtonEmits<MirrorPage>("stop_btn_", &MirrorPage::Stop);
}

TEST(PagesTest, ConnectPageTextsAndRunningLoadingMovie) {
  ConnectPage page;
  EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("status_label_"))->text(), QStringLiteral("Device connecting"));
  EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("tips_label_"))->text(),
            QStringLiteral("Configuring, please wait"));
  QMovie* movie = page.findChild<QLabel*>(QStringLiteral("loading_label_"))->movie();
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(movie->fileName(), QStringLiteral(":/image/pic_loading.gif"));
  EXPECT_TRUE(movie->isValid());
  EXPECT_EQ(movie->state(), QMovie::Running);
}

TEST(PagesTest, FailurePageShowsTheReasonItIsGiven) {
  FailurePage page;
  page.SetTips(QStringLiteral("No response"));
  EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("tips_label_"))->text(), QStringLiteral("No response"));
  EXPECT_FALSE(page.findChild<QLabel*>(QStringLiteral("pc_label_"))->pixmap(Qt::ReturnByValue).isNull());
}

TEST(PagesTest, MirrorPageShowsTheSharingPicture) {
  MirrorPage page;
  EXPECT_FALSE(page.findChild<QLabel*>(QStringLiteral("mirror_label_"))->pixmap(Qt::ReturnByValue).isNull());
  EXPECT_EQ(page.findChild<QPushButton*>(QStringLiteral("stop_btn_"))->text(), QStringLiteral("Stop sharing"));
}

TEST(FunctionPageTest, ChoicesEmitTheirMirrorType) {
  FunctionPage page;
  QSignalSpy spy(&page, &FunctionPage::Mirror);
  auto* single = page.findChild<MirrorButton*>(QStringLiteral("single_mirror_btn_"));
  auto* join = page.findChild<MirrorButton*>(QStringLiteral("join_mirror_btn_"));
  ASSERT_TRUE(single && join);
  EXPECT_EQ(single->maximumSize(), QSize(280, 280));
  single->click();
  join->click();
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(0).at(0).value<MirrorType>(), kSingleScreenMirror);
  EXPECT_EQ(spy.at(1).at(0).value<MirrorType>(), kJoinScreenMirror);
  EXPECT_EQ(static_cast<int>(kSingleScreenMirror), 1);
  EXPECT_EQ(static_cast<int>(kJoinScreenMirror), 0);
  EXPECT_EQ(single->findChild<QLabel*>(QStringLiteral("name_label_"))->text(), QStringLiteral("One Screen Sharing"));
  EXPECT_EQ(join->findChild<QLabel*>(QStringLiteral("name_label_"))->text(), QStringLiteral("Join Screen Sharing"));
  EXPECT_NE(single->findChild<QWidget*>(QStringLiteral("Form")), nullptr);
}

class MirrorButtonHoverTest : public testing::Test {
 protected:
  void SetUp() override {
    page_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page_, 5000));
    button_ = page_.findChild<MirrorButton*>(QStringLiteral("single_mirror_btn_"));
    ASSERT_NE(button_, nullptr);
    rest_ = button_->pos();
  }
  void Enter() {
    QEvent event(QEvent::Enter);
    QCoreApplication::sendEvent(button_, &event);
  }
  void Leave() {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(button_, &event);
  }

  FunctionPage page_;
  MirrorButton* button_ = nullptr;
  QPoint rest_;
};

TEST_F(MirrorButtonHoverTest, HoverLiftsThePlaysTheImageOnceAndAddsTheShadow) {
  Enter();
  QPropertyAnimation* animation = button_->animation();
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(animation->propertyName(), QByteArray("pos"));
  EXPECT_EQ(animation->duration(), 300);
  EXPECT_EQ(animation->startValue().toPoint(), rest_);
  EXPECT_EQ(animation->endValue().toPoint(), rest_ - QPoint(0, utils::DpiScaled(10)));
  EXPECT_EQ(button_->movie()->state(), QMovie::Running);
  auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(button_->graphicsEffect());
  ASSERT_NE(shadow, nullptr);
  EXPECT_DOUBLE_EQ(shadow->blurRadius(), 30.0);  // scaled 20
  EXPECT_EQ(shadow->offset(), QPointF(0, 15));   // scaled 10
  EXPECT_EQ(shadow->color(), QColor(68, 68, 68, 26));

  // Played once: it stops on its last frame and stays up.
  QTRY_COMPARE_WITH_TIMEOUT(button_->movie()->state(), QMovie::NotRunning, 10000);
  EXPECT_EQ(button_->movie()->currentFrameNumber(), button_->movie()->frameCount() - 1);
  QTRY_COMPARE_WITH_TIMEOUT(button_->pos(), rest_ - QPoint(0, utils::DpiScaled(10)), 5000);

  Leave();
  EXPECT_EQ(animation->duration(), 200);
  EXPECT_EQ(animation->endValue().toPoint(), rest_);
  EXPECT_EQ(button_->movie()->currentFrameNumber(), 0);
  EXPECT_EQ(button_->graphicsEffect(), nullptr);
  QTRY_COMPARE_WITH_TIMEOUT(button_->pos(), rest_, 5000);
}

TEST_F(MirrorButtonHoverTest, LeavingWhileRisingReturnsFromWhereTheButtonIs) {
  Enter();
  button_->animation()->pause();
  button_->move(rest_ - QPoint(0, 4));  // part of the way up
  Leave();
  EXPECT_EQ(button_->animation()->startValue().toPoint(), rest_ - QPoint(0, 4));
  EXPECT_EQ(button_->animation()->endValue().toPoint(), rest_);
  QTRY_COMPARE_WITH_TIMEOUT(button_->pos(), rest_, 5000);

  // The next hover rises from the remembered rest position again.
  Enter();
  EXPECT_EQ(button_->animation()->startValue().toPoint(), rest_);
}

TEST_F(MirrorButtonHoverTest, LeaveWithoutEnterKeepsThePlace) {
  Leave();
  QTest::qWait(300);
  EXPECT_EQ(button_->pos(), rest_);
}

}  // namespace
