#include "setup/single_dialog.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "os/lock_file.h"

namespace larkspill {

namespace {

constexpr char kAsk[] = "front\n";
constexpr char kDone[] = "ok\n";

// The address of the socket file at `path`; false when the name is too long for one.
bool SocketAddress(const std::string& path, sockaddr_un* address) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof(address->sun_path)) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Whether the process at the other end of the connected socket `fd` runs as this user: only this
// user's own dialog is asked, and only this user's own starts are answered.
bool PeerIsThisUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof(peer);
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// Asks the dialog listening on `path` to come to the front; true once it has said it did.
// Never blocks past `patience`: a stopped dialog's full queue refuses the connection at once.
bool AskToFront(const std::string& path, std::chrono::milliseconds patience) {
  sockaddr_un address;
  if (!SocketAddress(path, &address)) return false;
  const Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  const int fd = socket.get();
  if (fd < 0) return false;
  std::string reply;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
      PeerIsThisUser(fd) &&
      ::send(fd, kAsk, sizeof(kAsk) - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof(kAsk) - 1)) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (reply.size() < sizeof(kDone) - 1) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd readable{fd, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[8];
      const ssize_t got = ::read(fd, buffer, sizeof(buffer));
      if (got <= 0) break;
      reply.append(buffer, static_cast<size_t>(got));
    }
  }
  return reply == kDone;
}

}  // namespace

SingleDialog::SingleDialog(std::filesystem::path runtime_dir) {
  if (runtime_dir.empty()) return;
  lock_path_ = runtime_dir / "larkspill-dialog.lock";
  socket_path_ = runtime_dir / "larkspill-dialog.socket";
}

SingleDialog::~SingleDialog() = default;

SingleDialog::Start SingleDialog::Claim(std::chrono::milliseconds patience) {
  if (lock_path_.empty()) return Start::Open;
  // Closed on exec: a browser started from the dialog must not hold the claim after it has gone.
  LockFile lock = OpenLockFile(lock_path_);
  if (!lock.fd.valid()) {
    std::fprintf(stderr, "larkspill: cannot open %s (%s); another settings dialog may be open\n",
                 lock_path_.c_str(), lock.why.c_str());
    return Start::Open;
  }
  if (!OwnedByThisUser(lock.fd)) {
    std::fprintf(stderr, "larkspill: %s belongs to another user and is not trusted\n",
                 lock_path_.c_str());
    return Start::Open;
  }
  lock_ = std::move(lock.fd);
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (::flock(lock_.get(), LOCK_EX | LOCK_NB) == 0) return Start::Open;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      std::fprintf(stderr, "larkspill: cannot lock %s (%s); another settings dialog may be open\n",
                   lock_path_.c_str(), std::strerror(errno));
      lock_.reset();
      return Start::Open;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (AskToFront(socket_path_.string(), std::max(left, std::chrono::milliseconds(0)))) {
      lock_.reset();
      return Start::AlreadyOpen;
    }
    if (std::chrono::steady_clock::now() >= deadline) return Start::NoAnswer;
    // The holder may still be starting and not yet listen, or may be ending.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void SingleDialog::Listen(QObject* owner, std::function<void()> to_front) {
  if (!lock_.valid()) return;
  sockaddr_un address;
  const std::string path = socket_path_.string();
  if (!SocketAddress(path, &address)) {
    std::fprintf(stderr, "larkspill: the runtime folder's name is too long for %s\n", path.c_str());
    return;
  }
  Fd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  // A socket left behind by a dialog that ended without removing it; only the holder of the lock
  // gets here, so it is nobody's.
  ::unlink(path.c_str());
  if (!listener.valid() ||
      ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener.get(), 4) != 0) {
    std::fprintf(stderr, "larkspill: cannot listen on %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return;
  }
  ::chmod(path.c_str(), 0600);  // the user's own, whatever the umask
  // From here on the notifier's end closes it.
  const int fd = listener.release();
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QObject::destroyed, [fd, path] {
    ::close(fd);
    ::unlink(path.c_str());
  });
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd, to_front] {
    const Fd client(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid() || !PeerIsThisUser(client.get())) return;
    // The asker writes its one short line as soon as it has connected.
    char question[sizeof(kAsk)] = {};
    pollfd readable{client.get(), POLLIN, 0};
    if (::poll(&readable, 1, 200) == 1 &&
        ::recv(client.get(), question, sizeof(question), 0) ==
            static_cast<ssize_t>(sizeof(kAsk) - 1) &&
        std::memcmp(question, kAsk, sizeof(kAsk) - 1) == 0) {
      to_front();
      ::send(client.get(), kDone, sizeof(kDone) - 1, MSG_NOSIGNAL);
    }
  });
}

}  // namespace larkspill
