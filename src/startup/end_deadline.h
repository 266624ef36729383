#pragma once

namespace larkspill {

// A signal that asks the program to end starts an orderly close-down; should that not be over
// within kEndDeadlineMs (a helper stuck in a system call, an X server or audio server that does
// not answer, a message box nobody closes), the program ends by that signal there and then. What
// it leaves is the kernel's and the X server's to tidy: the windows, the sound device, the
// shared memory.
inline constexpr int kEndDeadlineMs = 850;

// Ends the program by `signal`, with its default action. Safe in a signal handler.
[[noreturn]] void EndBySignal(int signal);

// Makes the deadline ready; call once, before the signal handlers are installed.
void PrepareEndDeadline();
// Starts the deadline for `signal`; later calls change nothing. Safe in a signal handler.
void StartEndDeadline(int signal);

}  // namespace larkspill
