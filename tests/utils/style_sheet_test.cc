#include "utils/style_sheet.h"

#include <QWidget>

#include <gtest/gtest.h>

#include "utils/dpi_scale.h"

namespace {

struct SheetCase {
  double factor;
  const char* sheet;
  const char* scaled;
};

const SheetCase kSheets[] = {
    // At 96 DPI only the writing of the numbers changes.
    {1.0, "margin: 10px 3px;", "margin: 10px 3px;"},
    {1.0, "width: 007px; height: 0px", "width: 7px; height: 0px"},
    {1.0, "border: 1.5px solid", "border: 1.5px solid"},
    // 120 DPI: 12.5 + 0.5 and 3.75 + 0.5, truncated.
    {1.25, "margin: 10px 3px;", "margin: 13px 4px;"},
    {1.25, "border: 1px solid; padding: 2px", "border: 1px solid; padding: 3px"},
    {1.25, "border: 1.5px solid", "border: 1.6px solid"},  // only the digits before px
    {1.25, "margin: 0px 7px", "margin: 0px 9px"},
    // 144 DPI; a scaled number is not scanned again.
    {1.5, "font-size: 14px; min-height: 40px;", "font-size: 21px; min-height: 60px;"},
    {1.5, "padding:1px", "padding:2px"},
    {1.5, "margin: 100px 1px", "margin: 150px 2px"},
    {1.5, "10px20px", "15px30px"},
    {1.5, "width: 000px", "width: 0px"},
    // Not pixel lengths: no digits right before a lower-case "px".
    {1.5, "width: 10 px; height: 10PX; px; 5pt", "width: 10 px; height: 10PX; px; 5pt"},
    // Too large for an int: left alone; a scaled value beyond an int is capped.
    {1.5, "width: 99999999999px", "width: 99999999999px"},
    {2.0, "width: 2147483647px", "width: 2147483647px"},
    {1.5, "", ""},
};

TEST(StyleSheetTest, ScalesEveryPixelLength) {
  for (const SheetCase& c : kSheets) {
    SCOPED_TRACE(testing::Message() << c.factor << " " << c.sheet);
    QString sheet = QString::fromLatin1(c.sheet);
    utils::ScaleStyleSheet(sheet, c.factor);
    EXPECT_EQ(sheet.toStdString(), c.scaled);
  }
}

TEST(StyleSheetTest, ProcessFactorIsUsedByDefault) {
  QString sheet = QStringLiteral("margin: 10px");
  utils::ScaleStyleSheet(sheet);
  EXPECT_EQ(sheet, QStringLiteral("margin: 15px"));
}

TEST(StyleSheetTest, LoadsFromResourcesAsLatin1Unscaled) {
  const QString sheet = utils::LoadStyleSheet(QStringLiteral("box.qss"));
  EXPECT_TRUE(sheet.contains(QStringLiteral("margin: 10px 3px;"))) << sheet.toStdString();
  EXPECT_TRUE(sheet.contains(QString::fromUtf8("Caf\xc3\xa9"))) << sheet.toStdString();
  EXPECT_TRUE(utils::LoadStyleSheet(QStringLiteral("missing.qss")).isEmpty());
}

TEST(StyleSheetTest, AppliedSheetIsScaledOnce) {
  QWidget window;
  auto* page = new QWidget(&window);
  utils::ApplyScaledStyleSheet(page, QStringLiteral("QLabel { margin: 10px; }"));
  EXPECT_EQ(page->styleSheet(), QStringLiteral("QLabel { margin: 15px; }"));
  // The window later scales its whole tree, the page included.
  utils::ScaleWidgetTree(&window);
  EXPECT_EQ(page->styleSheet(), QStringLiteral("QLabel { margin: 15px; }"));
}

}  // namespace
