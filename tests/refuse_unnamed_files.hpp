// For tests of the road taken where a file system cannot make files without
// a name: a seccomp filter makes the kernel answer every O_TMPFILE open with
// EOPNOTSUPP, as such a file system does, and lets everything else through.
// It binds the calling process and whatever it executes, for good, so it is
// set up in a child process only.
#pragma once

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace trimbrel::testing {

// False where the filter cannot be set up (another architecture, no seccomp).
inline bool RefuseUnnamedFiles() {
#if defined(__x86_64__)
  constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
  constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
  return false;
#endif
#ifdef __NR_open
  constexpr std::uint32_t kOpen = __NR_open;
#else
  constexpr std::uint32_t kOpen = 0xFFFFFFFFu;  // matches no call
#endif
  // The flag without the O_DIRECTORY that O_TMPFILE also holds; the low
  // half of a 64-bit argument comes first on these little-endian machines.
  constexpr std::uint32_t kFlag = O_TMPFILE & ~O_DIRECTORY;
  constexpr std::uint32_t kArgs = offsetof(seccomp_data, args);
  sock_filter program[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),   // 0
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 0, 9),                    // 1: other ABI -> allow
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),     // 2
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 3, 0),              // 3: openat -> 7
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kOpen, 0, 6),                    // 4: neither -> allow
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kArgs + 1 * 8),                  // 5: open's flags
      BPF_JUMP(BPF_JMP | BPF_JA, 1, 0, 0),                                 // 6: -> 8
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kArgs + 2 * 8),                  // 7: openat's flags
      BPF_STMT(BPF_ALU | BPF_AND | BPF_K, kFlag),                          // 8
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kFlag, 0, 1),                    // 9
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EOPNOTSUPP & SECCOMP_RET_DATA)),  // 10
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),                        // 11
  };
  sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
}

}  // namespace trimbrel::testing
