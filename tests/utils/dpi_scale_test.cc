#include "utils/dpi_scale.h"

#include <climits>

#include <QHBoxLayout>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class ScopedDpiOverride {
 public:
  explicit ScopedDpiOverride(const char* value) : old_(qgetenv("CASTORA_DPI")) {
    if (value) qputenv("CASTORA_DPI", value); else qunsetenv("CASTORA_DPI");
  }
  ~ScopedDpiOverride() { qputenv("CASTORA_DPI", old_); }

 private:
  QByteArray old_;
};

TEST(DpiScaleTest, ScreenDpiComesFromTheOverrideOrIs96WithoutADisplay) {
  {
    ScopedDpiOverride dpi(nullptr);
    EXPECT_EQ(utils::ScreenDpi(), 96);  // the offscreen platform has no display
  }
  for (const auto& [text, dpi] : {std::pair{"144", 144}, {"120", 120}, {"0", 96}, {"-5", 96}, {"many", 96}}) {
    ScopedDpiOverride override_dpi(text);
    EXPECT_EQ(utils::ScreenDpi(), dpi) << text;
  }
  // The test program pinned 144 DPI before the first use; later changes are not seen.
  EXPECT_DOUBLE_EQ(utils::DpiScaleFactor(), 1.5);
}

TEST(DpiScaleTest, FactorIsNeverBelowOne) {
  for (const auto& [dpi, factor] : {std::pair{72, 1.0}, {96, 1.0}, {120, 1.25}, {144, 1.5}, {192, 2.0}}) {
    EXPECT_DOUBLE_EQ(utils::DpiScaleFactorFor(dpi), factor) << dpi;
  }
}

TEST(DpiScaleTest, ScaledValuesRoundHalfUp) {
  struct Case { int value; double factor; int scaled; };
  const Case kCases[] = {{0, 1.5, 0}, {1, 1.5, 2}, {10, 1.25, 13}, {3, 1.25, 4}, {7, 1.0, 7},
                         {16777215, 1.5, 25165823}, {-4, 1.5, -5}, {INT_MAX, 2.0, INT_MAX}};
  for (const Case& c : kCases) EXPECT_EQ(utils::DpiScaled(c.value, c.factor), c.scaled) << c.value;
  EXPECT_EQ(utils::DpiScaled(10), 15);
}

TEST(DpiScaleTest, WidgetSizesAreScaledAndCapped) {
  QWidget free_size;
  free_size.setMinimumSize(10, 20);
  utils::ScaleWidgetSize(&free_size, 1.5);
  EXPECT_EQ(free_size.minimumSize(), QSize(15, 30));
  EXPECT_EQ(free_size.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

  QWidget fixed;
  fixed.setFixedSize(100, 40);
  utils::ScaleWidgetSize(&fixed, 1.5);
  EXPECT_EQ(fixed.minimumSize(), QSize(150, 60));
  EXPECT_EQ(fixed.maximumSize(), QSize(150, 60));

  QWidget wide;
  wide.setMaximumSize(16000000, 100);
  utils::ScaleWidgetSize(&wide, 1.5);
  EXPECT_EQ(wide.maximumSize(), QSize(QWIDGETSIZE_MAX, 150));

  QWidget unchanged;
  unchanged.setFixedSize(100, 40);
  unchanged.setStyleSheet(QStringLiteral("margin: 007px"));
  utils::ScaleWidgetSize(&unchanged, 1.0);
  EXPECT_EQ(unchanged.minimumSize(), QSize(100, 40));
  EXPECT_EQ(unchanged.styleSheet(), QStringLiteral("margin: 7px"));
}

TEST(DpiScaleTest, AWidgetIsScaledOnceButANewSheetIsScaled) {
  QWidget widget;
  widget.setMinimumSize(10, 10);
  widget.setStyleSheet(QStringLiteral("width: 10px"));
  utils::ScaleWidgetSize(&widget, 1.5);
  utils::ScaleWidgetSize(&widget, 1.5);
  EXPECT_EQ(widget.minimumSize(), QSize(15, 15));
  EXPECT_EQ(widget.styleSheet(), QStringLiteral("width: 15px"));
  widget.setStyleSheet(QStringLiteral("height: 4px"));
  utils::ScaleWidgetSize(&widget, 1.5);
  EXPECT_EQ(widget.styleSheet(), QStringLiteral("height: 6px"));
  EXPECT_EQ(widget.minimumSize(), QSize(15, 15));
}

TEST(DpiScaleTest, TreeScalesNamedLayoutsAndFixedSpacers) {
  QWidget window;
  auto* main_layout = new QVBoxLayout(&window);
  main_layout->setObjectName(QStringLiteral("mainLayout"));
  main_layout->setContentsMargins(10, 8, 6, 4);
  main_layout->setSpacing(6);
  auto* fixed_spacer = new QSpacerItem(20, 8, QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* wide_spacer = new QSpacerItem(20, 8, QSizePolicy::Expanding, QSizePolicy::Fixed);
  auto* tall_spacer = new QSpacerItem(30, 40, QSizePolicy::Expanding, QSizePolicy::Expanding);
  main_layout->addItem(fixed_spacer);
  main_layout->addItem(wide_spacer);
  main_layout->addItem(tall_spacer);
  auto* child = new QWidget;
  child->setMinimumSize(40, 20);
  child->setStyleSheet(QStringLiteral("border: 2px solid"));
  main_layout->addWidget(child);
  auto* grandchild = new QWidget(child);
  grandchild->setFixedSize(8, 8);
  auto* unnamed = new QHBoxLayout;
  unnamed->setContentsMargins(5, 5, 5, 5);
  unnamed->setSpacing(3);
  main_layout->addLayout(unnamed);

  utils::ScaleWidgetTree(&window, 1.5);
  utils::ScaleWidgetTree(&window, 1.5);  // a second pass changes nothing

  EXPECT_EQ(main_layout->contentsMargins(), QMargins(15, 12, 9, 6));
  EXPECT_EQ(main_layout->spacing(), 9);
  EXPECT_EQ(fixed_spacer->sizeHint(), QSize(30, 12));
  EXPECT_EQ(wide_spacer->sizeHint(), QSize(20, 12));
  EXPECT_EQ(wide_spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
  EXPECT_EQ(tall_spacer->sizeHint(), QSize(30, 40));
  EXPECT_EQ(child->minimumSize(), QSize(60, 30));
  EXPECT_EQ(child->styleSheet(), QStringLiteral("border: 3px solid"));
  EXPECT_EQ(grandchild->maximumSize(), QSize(12, 12));
  EXPECT_EQ(unnamed->contentsMargins(), QMargins(5, 5, 5, 5));
  EXPECT_EQ(unnamed->spacing(), 3);
}

}  // namespace
