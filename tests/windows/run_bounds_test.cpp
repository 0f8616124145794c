// The run's job: the process is in it, and it limits the process's memory.
// Wine (8.0) places the process in the job but keeps none of its limits (it
// reads them back as none and commits past them): those are checked on Windows.

#include "windows/run_bounds.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace tessarin::windows_platform {
namespace {

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(RunBounds, TheProcessIsInAJobLimitingItsMemoryTo384MiB) {
  PlaceRunInMemoryJob();
  BOOL inJob = FALSE;
  ASSERT_TRUE(IsProcessInJob(GetCurrentProcess(), nullptr, &inJob));
  EXPECT_TRUE(inJob);
  if (UnderWine()) GTEST_SKIP() << "Wine keeps no job limits";
  // The job's own handle is closed: the process's job is the one queried.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  ASSERT_TRUE(QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits, nullptr));
  EXPECT_EQ(limits.BasicLimitInformation.LimitFlags, JOB_OBJECT_LIMIT_PROCESS_MEMORY);
  constexpr SIZE_T kLimitBytes = SIZE_T{384} << 20;
  EXPECT_EQ(limits.ProcessMemoryLimit, kLimitBytes);
  void* pastTheLimit = VirtualAlloc(nullptr, kLimitBytes, MEM_COMMIT, PAGE_READWRITE);
  EXPECT_EQ(pastTheLimit, nullptr);
  if (pastTheLimit != nullptr) VirtualFree(pastTheLimit, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace tessarin::windows_platform
