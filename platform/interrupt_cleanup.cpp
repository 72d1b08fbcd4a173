#include "platform/interrupt_cleanup.hpp"

#include <limits.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace trimbrel {

namespace {

// A slot moves free -> claimed (its name being written, nothing on disk)
// -> making (the system call may be under way) -> ready (the file exists)
// -> free. The cleanup takes a ready slot by moving it to cleaning, so an
// owner that renames meanwhile cannot hand the slot to another name.
enum SlotState : int { kFree, kClaimed, kMaking, kReady, kCleaning };

struct Slot {
  std::atomic<int> state{kFree};
  std::atomic<pid_t> maker{0};
  char path[PATH_MAX]{};
};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "the signal handler reads the slots without locks");

// Two megabytes that must cost nothing at start: constant-initialised to
// zero, they stay in untouched pages until a slot is used. A constructor run
// at start would fault in every page of them, more than the rest of the
// program's start-up together.
constinit Slot g_slots[kTemporarySlots];

// 0: no cleanup; 1: one is under way; 2: it is done and the process ends.
std::atomic<int> g_cleanup{0};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void Pause() {
  const timespec wait{0, 1'000'000};
  ::nanosleep(&wait, nullptr);
}

// Runs inside the signal handler: only async-signal-safe calls.
void RemoveRegisteredNames() {
  const pid_t self = ::gettid();
  for (Slot& slot : g_slots) {
    int state = slot.state.load();
    // Another thread is between its system call and made(): wait, so a file
    // that call creates is not left behind.
    while (state == kMaking && slot.maker.load() != self) {
      Pause();
      state = slot.state.load();
    }
    if (state == kMaking) {
      // This very thread was interrupted there; it never resumes, and the
      // name is removed whether or not its call got to make it.
      ::unlink(slot.path);
    } else if (state == kReady && slot.state.compare_exchange_strong(state, kCleaning)) {
      ::unlink(slot.path);
    }
  }
}

extern "C" void OnInterrupt(int sig) {
  const int saved = errno;
  int expected = 0;
  if (g_cleanup.compare_exchange_strong(expected, 1)) {
    RemoveRegisteredNames();
    g_cleanup.store(2);
  } else {
    // A signal on another thread got here first; the process ends once it
    // has removed the names.
    while (g_cleanup.load() != 2) Pause();
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(sig, &fallback, nullptr);
  ::raise(sig);
  // The signal is blocked while its handler runs; letting it through ends
  // the process with the signal's own status.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  errno = saved;
}

}  // namespace

bool TemporaryName::aboutToMake(const std::string& path) {
  forget();
  if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string::npos) return false;
  for (int i = 0; i < kTemporarySlots; ++i) {
    Slot& slot = g_slots[i];
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kClaimed)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.maker.store(::gettid());
    slot.state.store(kMaking);
    // Either a cleanup that starts now sees this slot as making and waits,
    // or this thread sees the cleanup and makes nothing.
    if (g_cleanup.load() != 0) {
      slot.state.store(kFree);
      for (;;) ::pause();
    }
    slot_ = i;
    return true;
  }
  return false;
}

void TemporaryName::made() {
  if (slot_ < 0) return;
  int making = kMaking;
  g_slots[slot_].state.compare_exchange_strong(making, kReady);
}

void TemporaryName::forget() {
  if (slot_ < 0) return;
  std::atomic<int>& state = g_slots[slot_].state;
  slot_ = -1;
  int current = state.load();
  // A slot the cleanup has taken stays with it: the process is ending.
  while ((current == kMaking || current == kReady) && !state.compare_exchange_weak(current, kFree)) {
  }
}

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) sigaddset(&action.sa_mask, sig);
  action.sa_flags = SA_RESTART;
  for (int sig : kSignals) {
    struct sigaction before {};
    if (::sigaction(sig, nullptr, &before) == 0 && (before.sa_flags & SA_SIGINFO) == 0 &&
        before.sa_handler == SIG_IGN) {
      continue;
    }
    ::sigaction(sig, &action, nullptr);
  }
}

}  // namespace trimbrel
