#include "client/ui/pin_code_edit.h"

#include <vector>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Key {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

struct KeyCase {
  const char* name;
  std::vector<Key> keys;
  QString text;   // what the edit holds afterwards
  int changes;    // PinCodeChanged signals
  int finished;   // InputFinished signals
};

QString LabelsText(const PinCodeEdit& edit) {
  QString shown;
  for (const QLabel* letter : edit.findChildren<QLabel*>(QStringLiteral("letter"))) shown += letter->text();
  return shown;
}

class PinCodeEditKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(PinCodeEditKeyTest, TypesOnlyTheReceiversSymbols) {
  const KeyCase& c = GetParam();
  PinCodeEdit edit;
  edit.SetLength(6);
  QSignalSpy changed(&edit, &PinCodeEdit::PinCodeChanged);
  QSignalSpy finished(&edit, &PinCodeEdit::InputFinished);
  for (const Key& k : c.keys) QTest::keyClick(&edit, k.key, k.modifiers);
  EXPECT_EQ(edit.text(), c.text);
  EXPECT_EQ(LabelsText(edit), c.text);
  EXPECT_EQ(changed.count(), c.changes);
  if (!changed.isEmpty()) {
    EXPECT_EQ(changed.last().at(0).toString(), c.text);
  }
  EXPECT_EQ(finished.count(), c.finished);
}

const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kKeypad = Qt::KeypadModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

INSTANTIATE_TEST_SUITE_P(
    Keys, PinCodeEditKeyTest,
    testing::Values(
        KeyCase{"LettersAreUpperCased", {{Qt::Key_A}, {Qt::Key_B}, {Qt::Key_2}}, "AB2", 3, 0},
        KeyCase{"ZeroOneIOAreIgnored", {{Qt::Key_0}, {Qt::Key_1}, {Qt::Key_I}, {Qt::Key_O}}, "", 0, 0},
        KeyCase{"WXYZAreOrdinaryLetters", {{Qt::Key_W}, {Qt::Key_X}, {Qt::Key_Y}, {Qt::Key_Z}}, "WXYZ", 4, 0},
        KeyCase{"ShiftAndKeypadCount", {{Qt::Key_C, kShift}, {Qt::Key_9, kKeypad}, {Qt::Key_2, kKeypad}}, "C92", 3, 0},
        KeyCase{"OtherModifiersAreIgnored", {{Qt::Key_C, kCtrl}, {Qt::Key_D, Qt::AltModifier}, {Qt::Key_E}}, "E", 1, 0},
        KeyCase{"PunctuationIsIgnored", {{Qt::Key_Minus}, {Qt::Key_Space}, {Qt::Key_Period}}, "", 0, 0},
        KeyCase{"BackspaceOnEmptyDoesNothing", {{Qt::Key_Backspace}}, "", 0, 0},
        KeyCase{"BackspaceRemovesTheLast", {{Qt::Key_A}, {Qt::Key_B}, {Qt::Key_Backspace}}, "A", 3, 0},
        KeyCase{"EnterBeforeFullDoesNothing", {{Qt::Key_A}, {Qt::Key_Return}, {Qt::Key_Enter, kKeypad}}, "A", 1, 0},
        KeyCase{"SeventhLetterIsIgnored",
                {{Qt::Key_A}, {Qt::Key_B}, {Qt::Key_C}, {Qt::Key_D}, {Qt::Key_E}, {Qt::Key_F}, {Qt::Key_G}},
                "ABCDEF", 6, 0},
        KeyCase{"EnterOnFullFinishes",
                {{Qt::Key_2}, {Qt::Key_3}, {Qt::Key_4}, {Qt::Key_5}, {Qt::Key_6}, {Qt::Key_7}, {Qt::Key_Return},
                 {Qt::Key_Enter, kKeypad}},
                "234567", 6, 2},
        KeyCase{"BackspaceOnFullRemovesTheLast",
                {{Qt::Key_2}, {Qt::Key_3}, {Qt::Key_4}, {Qt::Key_5}, {Qt::Key_6}, {Qt::Key_7}, {Qt::Key_Backspace},
                 {Qt::Key_Return}},
                "23456", 7, 0}),
    [](const testing::TestParamInfo<KeyCase>& param_info) { return std::string(param_info.param.name); });

TEST(PinCodeEditTest, SetLengthBuildsOneBoxPerCharacter) {
  PinCodeEdit edit;
  for (int n : {6, 8}) {
    edit.SetLength(n);
    EXPECT_EQ(edit.length(), n);
    EXPECT_EQ(edit.property("length").toInt(), n);
    EXPECT_EQ(edit.findChildren<QLabel*>(QStringLiteral("letter")).size(), n);
    for (const QLabel* letter : edit.findChildren<QLabel*>(QStringLiteral("letter")))
      EXPECT_EQ(letter->alignment(), Qt::AlignCenter);
    const auto cursors = edit.findChildren<QLabel*>(QStringLiteral("cursor"));
    ASSERT_EQ(cursors.size(), 1);
    EXPECT_EQ(cursors[0]->size(), QSize(2, 42));
    EXPECT_TRUE(cursors[0]->isHidden());
    EXPECT_TRUE(edit.styleSheet().contains(QStringLiteral("input_box_%1.png").arg(n)));
  }
  EXPECT_EQ(edit.focusPolicy(), Qt::StrongFocus);
  EXPECT_FALSE(edit.testAttribute(Qt::WA_InputMethodEnabled));
}

TEST(PinCodeEditTest, ClearEmptiesEveryBoxAndReportsIt) {
  PinCodeEdit edit;
  edit.SetLength(6);
  QTest::keyClicks(&edit, "abc");
  QSignalSpy changed(&edit, &PinCodeEdit::PinCodeChanged);
  edit.Clear();
  EXPECT_TRUE(edit.text().isEmpty());
  EXPECT_TRUE(LabelsText(edit).isEmpty());
  ASSERT_EQ(changed.count(), 1);
  EXPECT_TRUE(changed.at(0).at(0).toString().isEmpty());
}

TEST(PinCodeEditTest, CursorBlinksInFrontOfTheNextBoxAndHidesWhenFull) {
  PinCodeEdit edit;
  edit.SetLength(6);
  edit.show();
  edit.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit, 5000));
  QLabel* cursor = edit.findChild<QLabel*>(QStringLiteral("cursor"));
  const auto letters = edit.findChildren<QLabel*>(QStringLiteral("letter"));
  ASSERT_TRUE(edit.hasFocus());  // taken when shown
  QTRY_VERIFY_WITH_TIMEOUT(cursor->isVisible(), 5000);
  EXPECT_EQ(cursor->x(), letters[0]->geometry().left() + letters[0]->width() / 2);
  EXPECT_EQ(cursor->y(), (edit.height() - cursor->height()) / 2);

  QTest::keyClicks(&edit, "ab");
  EXPECT_FALSE(cursor->isVisible());  // hidden at each key, back at the next blink
  QTRY_VERIFY_WITH_TIMEOUT(cursor->isVisible(), 5000);
  EXPECT_EQ(cursor->x(), letters[2]->geometry().left() + letters[2]->width() / 2);

  QTest::keyClicks(&edit, "cdef");
  QTest::qWait(600);
  EXPECT_FALSE(cursor->isVisible());

  QFocusEvent focus_out(QEvent::FocusOut, Qt::OtherFocusReason);
  QCoreApplication::sendEvent(&edit, &focus_out);
  EXPECT_FALSE(cursor->isVisible());
}

}  // namespace
