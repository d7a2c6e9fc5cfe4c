// The context of a failure: the sector of the read that failed, named by the innermost structure
// that was being read, and only for the code it came with.
#include "platform/FailureContext.h"

#include <gtest/gtest.h>

#include "platform/ErrorCodes.h"

namespace salvora::platform {
namespace {

TEST(FailureContext, TheFailedReadIsNamedByTheInnermostStructureAndOnlyForItsCode) {
  ClearFailure();
  NoteFailedRead(kReadFault, 32);
  NoteFailedStructure(kReadFault, "the FAT allocation table");
  NoteFailedStructure(kReadFault, "the FAT volume", 0);
  EXPECT_EQ(DescribeFailure(kReadFault), " (reading the FAT allocation table at sector 32)");
  EXPECT_EQ(DescribeFailure(kInvalidParameter), "") << "another code's failure is not described";
  NoteFailedStructure(kInvalidParameter, "the NTFS boot sector", 2048);
  EXPECT_EQ(DescribeFailure(kInvalidParameter), " (reading the NTFS boot sector at sector 2048)");
  EXPECT_EQ(DescribeFailure(kReadFault), "");
  ClearFailure();
  EXPECT_EQ(DescribeFailure(kInvalidParameter), "");
}

}  // namespace
}  // namespace salvora::platform
