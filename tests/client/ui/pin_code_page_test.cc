#include "client/ui/pin_code_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "client/air_code.h"
#include "client/settings.h"
#include "client/ui/pin_code_edit.h"

namespace {

// Codes typed with the keys the entry accepts (no 0, 1, I or O).
const char* const kValidShortCode = "CEGH2C";  // 172.24.68.77:7384
const char* const kValidLongCode = "AG8G9ULC";  // 172.17.4.250:7384

class PinCodePageTest : public testing::Test {
 protected:
  void SetUp() override {
    Settings::SetPinCodeLen(6);
    Settings::SetAutoMirror(false);
  }

  void Build() {
    page_ = std::make_unique<PinCodePage>();
    stack_ = page_->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    edit6_ = page_->findChild<PinCodeEdit*>(QStringLiteral("pin_edit_6_"));
    edit8_ = page_->findChild<PinCodeEdit*>(QStringLiteral("pin_edit_8_"));
    connect_ = page_->findChild<QPushButton*>(QStringLiteral("connect_btn_"));
    error_ = page_->findChild<QLabel*>(QStringLiteral("error_info_label_"));
    switch_ = page_->findChild<QPushButton*>(QStringLiteral("switch_edit_btn_"));
    ASSERT_TRUE(stack_ && edit6_ && edit8_ && connect_ && error_ && switch_);
  }

  std::unique_ptr<PinCodePage> page_;
  QStackedWidget* stack_ = nullptr;
  PinCodeEdit* edit6_ = nullptr;
  PinCodeEdit* edit8_ = nullptr;
  QPushButton* connect_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* switch_ = nullptr;
};

TEST_F(PinCodePageTest, ValidCodeEnablesConnectWhichEmitsTheDecodedReceiver) {
  Settings::SetAutoMirror(true);
  Build();
  ASSERT_TRUE(IsValidAirCode(kValidShortCode));
  EXPECT_TRUE(page_->findChild<QCheckBox*>(QStringLiteral("auto_mirror_checkbox_"))->isChecked());
  EXPECT_FALSE(connect_->isEnabled());
  QSignalSpy spy(page_.get(), &PinCodePage::Connect);

  QTest::keyClicks(edit6_, "cegh2");
  EXPECT_FALSE(connect_->isEnabled());
  QTest::keyClicks(edit6_, "c");
  EXPECT_TRUE(connect_->isEnabled());
  EXPECT_TRUE(error_->isHidden());

  connect_->click();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toString(), QString(kValidShortCode));
  EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("172.24.68.77"));
  EXPECT_EQ(spy.at(0).at(2).value<ushort>(), 7384);
  EXPECT_TRUE(spy.at(0).at(3).toBool());
}

TEST_F(PinCodePageTest, EnterOnAFullValidCodeClicksConnect) {
  Build();
  QSignalSpy spy(page_.get(), &PinCodePage::Connect);
  QTest::keyClicks(edit6_, kValidShortCode);
  QTest::keyClick(edit6_, Qt::Key_Return);
  EXPECT_TRUE(spy.wait(5000));  // animateClick: the click lands 100 ms later
  EXPECT_EQ(spy.count(), 1);
}

TEST_F(PinCodePageTest, BackspaceOnAFullCodeDisablesConnectAgain) {
  Build();
  QTest::keyClicks(edit6_, kValidShortCode);
  ASSERT_TRUE(connect_->isEnabled());
  QTest::keyClick(edit6_, Qt::Key_Backspace);
  EXPECT_FALSE(connect_->isEnabled());
  EXPECT_TRUE(error_->isHidden());
}

TEST_F(PinCodePageTest, InvalidCompleteCodeShowsWrongPinUntilACharacterGoes) {
  Build();
  const char* const wrong = "CEGH2D";
  ASSERT_FALSE(IsValidAirCode(wrong));
  QSignalSpy spy(page_.get(), &PinCodePage::Connect);
  QTest::keyClicks(edit6_, wrong);
  EXPECT_FALSE(error_->isHidden());
  EXPECT_EQ(error_->text(), QStringLiteral("Wrong PIN code"));
  EXPECT_FALSE(connect_->isEnabled());
  QTest::keyClick(edit6_, Qt::Key_Return);  // a disabled button is not clicked
  QTest::qWait(300);
  EXPECT_EQ(spy.count(), 0);
  QTest::keyClick(edit6_, Qt::Key_Backspace);
  EXPECT_TRUE(error_->isHidden());
}

TEST_F(PinCodePageTest, SwitchingClearsTheEntryLeftAndStoresTheNewLength) {
  Build();
  EXPECT_EQ(stack_->currentWidget(), edit6_);
  EXPECT_EQ(switch_->text(), QStringLiteral("8 Digits PIN code >"));
  EXPECT_EQ(stack_->maximumSize(), edit6_->size());
  QTest::keyClicks(edit6_, kValidShortCode);
  ASSERT_TRUE(connect_->isEnabled());

  switch_->click();
  EXPECT_TRUE(edit6_->text().isEmpty());
  EXPECT_FALSE(connect_->isEnabled());
  EXPECT_EQ(stack_->currentWidget(), edit8_);
  EXPECT_EQ(page_->length(), 8);
  EXPECT_EQ(Settings::GetPinCodeLen(), 8);
  EXPECT_EQ(switch_->text(), QStringLiteral("6 Digits PIN code >"));
  EXPECT_EQ(stack_->maximumSize(), edit8_->size());

  QSignalSpy spy(page_.get(), &PinCodePage::Connect);
  QTest::keyClicks(edit8_, kValidLongCode);
  ASSERT_TRUE(connect_->isEnabled());
  connect_->click();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("172.17.4.250"));

  switch_->click();
  EXPECT_TRUE(edit8_->text().isEmpty());
  EXPECT_EQ(stack_->currentWidget(), edit6_);
  EXPECT_EQ(Settings::GetPinCodeLen(), 6);
}

TEST_F(PinCodePageTest, StoredLengthPicksTheEntry) {
  Settings::SetPinCodeLen(8);
  Build();
  EXPECT_EQ(stack_->currentWidget(), edit8_);
  EXPECT_EQ(page_->length(), 8);
  QTest::keyClicks(edit8_, kValidLongCode);
  EXPECT_TRUE(connect_->isEnabled());
}

// A length other than 6 or 8 in the file must not leave a page whose code can never
// be complete: the page works as the 6-character one.
TEST_F(PinCodePageTest, StoredLengthOtherThanSixOrEightActsAsSix) {
  for (int stored : {0, 7, 12}) {
    SCOPED_TRACE(stored);
    Settings::SetPinCodeLen(stored);
    Build();
    EXPECT_EQ(page_->length(), 6);
    EXPECT_EQ(stack_->currentWidget(), edit6_);
    QTest::keyClicks(edit6_, kValidShortCode);
    EXPECT_TRUE(connect_->isEnabled());
  }
}

}  // namespace
