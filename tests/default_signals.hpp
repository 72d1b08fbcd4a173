// For a forked child that must meet interrupting signals as a fresh process
// would: whatever the test runner set, they act by default and none is
// blocked.
#pragma once

#include <signal.h>

#include <csignal>

namespace trimbrel::testing_support {

inline void RestoreDefaultSignals() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) std::signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace trimbrel::testing_support
