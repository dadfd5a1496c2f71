#include "mediaworkflow/encoder/mfx_status.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace mediaworkflow::encoder {
namespace {

TEST(MfxStatusTest, NamesKnownStatusesAndFlagsTheRest) {
  EXPECT_STREQ(MfxStatusName(MFX_ERR_DEVICE_FAILED), "MFX_ERR_DEVICE_FAILED");
  EXPECT_STREQ(MfxStatusName(MFX_WRN_IN_EXECUTION), "MFX_WRN_IN_EXECUTION");
  EXPECT_STREQ(MfxStatusName(MFX_ERR_MORE_DATA_SUBMIT_TASK), "MFX_ERR_MORE_DATA_SUBMIT_TASK");
  EXPECT_STREQ(MfxStatusName(static_cast<mfxStatus>(12)), "[Unknown status]");
  EXPECT_STREQ(MfxStatusName(static_cast<mfxStatus>(-999)), "[Unknown status]");
}

TEST(MfxStatusTest, ErrorPrintsNameStatusMessageAndPlace) {
  EXPECT_EQ(FormatMfxError(MFX_ERR_DEVICE_FAILED, L"CreateHWDevice failed", "qsv.cc", 212),
            L"[ERROR], sts=MFX_ERR_DEVICE_FAILED(-17), CreateHWDevice failed at qsv.cc:212");
  EXPECT_EQ(FormatReturnOnError(MFX_ERR_UNSUPPORTED, "qsv.cc", 7),
            L"\nReturn on error: error code -3,\tqsv.cc\t7\n\n");
  EXPECT_STREQ(SourceFileName("/a/b/qsv_h264_imp.cc"), "qsv_h264_imp.cc");

  testing::internal::CaptureStderr();
  EXPECT_EQ(PrintMfxError(MFX_ERR_LOCK_MEMORY, L"Lock failed", "a.cc", 3), MFX_ERR_LOCK_MEMORY);
  EXPECT_EQ(PrintReturnOnError(MFX_ERR_NULL_PTR, "b.cc", 4), MFX_ERR_NULL_PTR);
  // Narrow writes after the prints still reach standard error.
  std::fprintf(stderr, "after\n");
  std::fflush(stderr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[ERROR], sts=MFX_ERR_LOCK_MEMORY(-7), Lock failed at a.cc:3\n"
            "\nReturn on error: error code -2,\tb.cc\t4\n\nafter\n");
}

}  // namespace
}  // namespace mediaworkflow::encoder
