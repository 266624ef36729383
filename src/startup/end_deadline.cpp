#include "startup/end_deadline.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace larkspill {
namespace {

timer_t g_timer{};
volatile sig_atomic_t g_timer_ready = 0;
volatile sig_atomic_t g_ending_signal = 0;

// The deadline has passed: the program ends by the signal that asked it to, at once.
void OnDeadline(int) {
  if (g_ending_signal != 0) EndBySignal(g_ending_signal);
}

}  // namespace

void EndBySignal(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached unless the signal is ignored after all
}

void PrepareEndDeadline() {
  if (g_timer_ready) return;
  // A real-time signal of its own: SIGALRM is borrowed by other waits (the settings lock's).
  const int deadline_signal = SIGRTMIN;
  struct sigaction action {};
  action.sa_handler = OnDeadline;
  sigemptyset(&action.sa_mask);
  sigaction(deadline_signal, &action, nullptr);
  sigevent event{};
  event.sigev_notify = SIGEV_SIGNAL;
  event.sigev_signo = deadline_signal;
  if (timer_create(CLOCK_MONOTONIC, &event, &g_timer) == 0) g_timer_ready = 1;
}

void StartEndDeadline(int signal) {
  if (!g_timer_ready || g_ending_signal != 0) return;
  g_ending_signal = signal;
  itimerspec deadline{};
  deadline.it_value.tv_sec = kEndDeadlineMs / 1000;
  deadline.it_value.tv_nsec = static_cast<long>(kEndDeadlineMs % 1000) * 1000000L;
  timer_settime(g_timer, 0, &deadline, nullptr);  // safe in a signal handler
}

}  // namespace larkspill
