#include "linux/picture_sandbox/confinement.h"

#include <fcntl.h>
#include <linux/seccomp.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace tessarin::linux_platform::picture_sandbox {
namespace {

[[noreturn]] void Refused() { ::_exit(1); }

void Limit(int resource, rlim_t soft, rlim_t hard) {
  const rlimit limit{soft, hard};
  if (::setrlimit(resource, &limit) != 0) Refused();
}

// A rule libseccomp refuses leaves the filter unbuilt (false).
bool Allow(scmp_filter_ctx filter, int syscall,
           std::initializer_list<scmp_arg_cmp> conditions = {}) {
  return seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, syscall,
                                static_cast<unsigned>(conditions.size()), conditions.begin()) == 0;
}

// Calls on one descriptor only (its first argument).
bool AllowOn(scmp_filter_ctx filter, int syscall, scmp_datum_t fd) {
  return Allow(filter, syscall, {SCMP_A0(SCMP_CMP_EQ, fd)});
}

// Memory the process may map or protect, never as code.
bool AllowMemory(scmp_filter_ctx filter) {
  const scmp_arg_cmp notExecutable = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
  bool allowed = Allow(filter, SCMP_SYS(mmap), {notExecutable}) &&
                 Allow(filter, SCMP_SYS(mprotect), {notExecutable});
  for (int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(brk), SCMP_SYS(madvise)}) {
    allowed = allowed && Allow(filter, call);
  }
  return allowed;
}

bool AllowDecoding(scmp_filter_ctx filter, scmp_datum_t file, scmp_datum_t channel) {
  bool allowed = true;
  for (int call : {SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(lseek)})
    allowed = allowed && AllowOn(filter, call, file);
  for (int call : {SCMP_SYS(read), SCMP_SYS(readv)}) {
    allowed = allowed && AllowOn(filter, call, file) && AllowOn(filter, call, channel);
  }
  for (int call : {SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(sendto), SCMP_SYS(sendmsg),
                   SCMP_SYS(recvfrom), SCMP_SYS(recvmsg)}) {
    allowed = allowed && AllowOn(filter, call, channel);
  }
  allowed = allowed && AllowMemory(filter);
  for (int call : {SCMP_SYS(poll), SCMP_SYS(ppoll), SCMP_SYS(futex), SCMP_SYS(clock_gettime),
                   SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(sched_yield),
                   SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(close),
                   SCMP_SYS(exit), SCMP_SYS(exit_group)}) {
    allowed = allowed && Allow(filter, call);
  }
#ifdef __SANITIZE_ADDRESS__
  // AddressSanitizer's run time asks for the signal stack on every throw (the
  // tests' build with it only).
  allowed = allowed && Allow(filter, SCMP_SYS(sigaltstack));
#endif
  return allowed;
}

// The program libseccomp exports for the filter (at most BPF_MAXINSNS
// instructions, 32 KiB: a pipe holds it whole).
std::vector<sock_filter> ExportedProgram(scmp_filter_ctx filter) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  const bool exported = seccomp_export_bpf(filter, ends[1]) == 0;
  ::close(ends[1]);
  std::vector<sock_filter> program(BPF_MAXINSNS + 1);
  const ssize_t got =
      exported ? ::read(ends[0], program.data(), program.size() * sizeof(sock_filter)) : -1;
  ::close(ends[0]);
  const bool whole = got > 0 && static_cast<std::size_t>(got) % sizeof(sock_filter) == 0 &&
                     static_cast<std::size_t>(got) <= BPF_MAXINSNS * sizeof(sock_filter);
  program.resize(whole ? static_cast<std::size_t>(got) / sizeof(sock_filter) : 0);
  return program;
}

// libseccomp takes a few hundred microseconds, and a dozen system calls to
// learn what the kernel supports, to build the filter: it is built once per
// run, for two stand-ins no descriptor, system call number or flag of the
// filter equals, which each decoder's program then has replaced by its own
// descriptors. libseccomp orders the comparisons of a call allowed on both
// descriptors by their values, so there is a program for a file descriptor
// below the channel's and one for above.
constexpr std::uint32_t kLowStandIn = 0x7e5a11e1;
constexpr std::uint32_t kHighStandIn = 0x7e5a11e2;

const std::array<std::vector<sock_filter>, 2>& ProgramsWithStandIns() {
  static const std::array<std::vector<sock_filter>, 2> programs{
      CompileDecoderFilter(kLowStandIn, kHighStandIn),
      CompileDecoderFilter(kHighStandIn, kLowStandIn)};
  return programs;
}

// Replaces each comparison with a stand-in; false when one is missing.
bool PutDescriptorsIn(std::vector<sock_filter>& program, std::uint32_t standIn, int fd) {
  bool found = false;
  for (sock_filter& instruction : program) {
    if (BPF_CLASS(instruction.code) == BPF_JMP && instruction.k == standIn) {
      instruction.k = static_cast<std::uint32_t>(fd);
      found = true;
    }
  }
  return found;
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

void LimitResources(const limits::DecodeLimits& limits) {
  const rlim_t data = limits.decoderMiB << 20;
  if (kDecoderDataLimited) Limit(RLIMIT_DATA, data, data);
  // SIGXCPU at the soft limit, SIGKILL at the hard one: behind the run,
  // which stops a decoder at its processor seconds when it next looks.
  const auto seconds = static_cast<rlim_t>(limits.decodeProcessorSeconds);
  Limit(RLIMIT_CPU, seconds + 1, seconds + 2);
  Limit(RLIMIT_CORE, 0, 0);
}

std::vector<sock_filter> CompileDecoderFilter(std::uint32_t file, std::uint32_t channel) {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
  if (!filter) return {};
  std::vector<sock_filter> program;
  if (AllowDecoding(filter, file, channel)) program = ExportedProgram(filter);
  seccomp_release(filter);
  return program;
}

void PrepareDecoderFilter() { ProgramsWithStandIns(); }

std::vector<sock_filter> DecoderFilter(int file, int channel) {
  if (file < 0 || channel < 0 || file == channel) return {};
  const bool fileBelow = file < channel;
  std::vector<sock_filter> program = ProgramsWithStandIns()[fileBelow ? 0 : 1];
  const bool whole = PutDescriptorsIn(program, fileBelow ? kLowStandIn : kHighStandIn, file) &&
                     PutDescriptorsIn(program, fileBelow ? kHighStandIn : kLowStandIn, channel);
  return whole ? program : std::vector<sock_filter>{};
}

// What libseccomp's seccomp_load does with the filter's default attributes:
// no_new_privs, then the program, with no flags.
void AllowOnlyDecoding(int file, int channel) {
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) Refused();
  std::vector<sock_filter> program = DecoderFilter(file, channel);
  if (program.empty()) Refused();
  const sock_fprog loaded{static_cast<unsigned short>(program.size()), program.data()};
  if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &loaded) != 0) Refused();
}

}  // namespace tessarin::linux_platform::picture_sandbox
