#include "windows/run_bounds.h"

#include <windows.h>

namespace tessarin::windows_platform {

void PlaceRunInMemoryJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  limits.ProcessMemoryLimit = static_cast<SIZE_T>(limits::kWindowsJobMiB) * 1024 * 1024;
  // A process already in a job that forbids another one over it (any job
  // before Windows 8; since, one the system's nesting rules refuse) cannot be
  // placed. The run carries on without the memory bound: whoever made that
  // job has bounded the process as they chose, and the decoding thread's
  // bounds and the decode limits still hold.
  if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
    AssignProcessToJobObject(job, GetCurrentProcess());
  CloseHandle(job);
}

std::chrono::nanoseconds ProcessorTimeOf(void* thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
    return std::chrono::nanoseconds(0);
  const auto hundredsOfNanoseconds = [](FILETIME time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return std::chrono::nanoseconds((hundredsOfNanoseconds(kernel) + hundredsOfNanoseconds(user)) *
                                  100);
}

Failure PictureTookTooMuchProcessorTime(const std::string& path,
                                        const limits::DecodeLimits& limits) {
  return Failure::InFile(FailureKind::DecoderStopped, path, limits::ProcessorTimeReason(limits));
}

Failure DecoderWaitedTooLong(const std::string& path, const limits::DecodeLimits& limits) {
  return Failure::InFile(FailureKind::DecoderStopped, path, limits::WaitReason(limits));
}

Failure PictureNeedsTooMuchMemory(const std::string& path) {
  return Failure::InFile(
      FailureKind::DecoderOutOfMemory, path,
      "the picture needs more than " + std::to_string(limits::kWindowsJobMiB) + " MiB");
}

}  // namespace tessarin::windows_platform
