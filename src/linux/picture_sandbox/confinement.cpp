#include "linux/picture_sandbox/confinement.h"

#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>

#include "linux/picture_sandbox/decoder_bounds.h"

namespace tessarin::linux_platform {
namespace {

[[noreturn]] void Refused() { ::_exit(1); }

void Limit(int resource, rlim_t soft, rlim_t hard) {
  const rlimit limit{soft, hard};
  if (::setrlimit(resource, &limit) != 0) Refused();
}

void Allow(scmp_filter_ctx filter, int syscall,
           std::initializer_list<scmp_arg_cmp> conditions = {}) {
  if (seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, syscall,
                             static_cast<unsigned>(conditions.size()), conditions.begin()) != 0) {
    Refused();
  }
}

// Calls on one descriptor only (its first argument).
void AllowOn(scmp_filter_ctx filter, int syscall, int fd) {
  Allow(filter, syscall, {SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))});
}

// Memory the process may map or protect, never as code.
void AllowMemory(scmp_filter_ctx filter) {
  const scmp_arg_cmp notExecutable = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
  Allow(filter, SCMP_SYS(mmap), {notExecutable});
  Allow(filter, SCMP_SYS(mprotect), {notExecutable});
  for (int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(brk), SCMP_SYS(madvise)}) {
    Allow(filter, call);
  }
}

}  // namespace

void CloseAllDescriptorsBut(int file, int channel) {
  const int low = std::min(file, channel), high = std::max(file, channel);
  if (low > 0 && ::close_range(0, static_cast<unsigned>(low - 1), 0) != 0) Refused();
  if (high > low + 1 &&
      ::close_range(static_cast<unsigned>(low + 1), static_cast<unsigned>(high - 1), 0) != 0) {
    Refused();
  }
  if (::close_range(static_cast<unsigned>(high + 1), ~0U, 0) != 0) Refused();
}

void LimitResources(const pictures::DecodeLimits& limits) {
  const rlim_t data = limits.decoderMiB << 20;
  if (kDecoderDataLimited) Limit(RLIMIT_DATA, data, data);
  // SIGXCPU at the soft limit, SIGKILL at the hard one.
  const auto seconds = static_cast<rlim_t>(limits.decodeSeconds);
  Limit(RLIMIT_CPU, seconds + 1, seconds + 2);
  Limit(RLIMIT_CORE, 0, 0);
}

void AllowOnlyDecoding(int file, int channel) {
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) Refused();
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
  if (!filter) Refused();
  for (int call : {SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(lseek)})
    AllowOn(filter, call, file);
  for (int call : {SCMP_SYS(read), SCMP_SYS(readv)}) {
    AllowOn(filter, call, file);
    AllowOn(filter, call, channel);
  }
  for (int call : {SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(sendto), SCMP_SYS(sendmsg),
                   SCMP_SYS(recvfrom), SCMP_SYS(recvmsg)}) {
    AllowOn(filter, call, channel);
  }
  AllowMemory(filter);
  for (int call : {SCMP_SYS(poll), SCMP_SYS(ppoll), SCMP_SYS(futex), SCMP_SYS(clock_gettime),
                   SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(sched_yield),
                   SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(close),
                   SCMP_SYS(exit), SCMP_SYS(exit_group)}) {
    Allow(filter, call);
  }
#ifdef __SANITIZE_ADDRESS__
  // AddressSanitizer's run time asks for the signal stack on every throw (the
  // tests' build with it only).
  Allow(filter, SCMP_SYS(sigaltstack));
#endif
  if (seccomp_load(filter) != 0) Refused();
  seccomp_release(filter);
}

}  // namespace tessarin::linux_platform
