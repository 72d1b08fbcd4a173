// Temporaries with a name in a folder must not outlive a run that is
// interrupted. Whoever makes one registers its name first; a signal that
// ends the process removes every registered name before it does. The
// registry is a fixed table read without locks or allocation, so the signal
// handler can walk it at any moment, on any thread.
#pragma once

#include <string>

namespace trimbrel {

// How many names can be registered at once: one per writing thread is
// enough, and a run has at most 256 of them.
inline constexpr int kTemporarySlots = 512;

// One registered name, from just before the file is made until it is
// renamed or removed. Safe to use from any number of threads.
class TemporaryName {
 public:
  TemporaryName() = default;
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;
  ~TemporaryName() { forget(); }

  // Call right before the system call that makes `path`; until made() or
  // forget() a cleanup on another thread waits rather than miss a file that
  // appears meanwhile. False when every slot is taken or the path does not
  // fit one: the file is then made without the guard. Once a cleanup has
  // begun this does not return, since the process is ending and a file made
  // now would outlive it.
  bool aboutToMake(const std::string& path);
  // The call that makes the name has returned with it made.
  void made();
  // The name is gone (renamed, removed) or was never made.
  void forget();
  bool registered() const { return slot_ >= 0; }

 private:
  int slot_ = -1;
};

// Handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE that remove every
// registered name, then let the signal end the process as it would have
// without them (a shell sees 128 + the signal, 130 for SIGINT). A signal
// that was ignored when the program started (nohup) stays ignored. For
// programs without a close path of their own: the window has one and does
// not call this.
void InstallInterruptCleanup();

}  // namespace trimbrel
