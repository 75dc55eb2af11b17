// A TCP proxy that holds every byte for a fixed time in each direction:
// a network link with a given round trip, for measuring a database server
// reached over the network on one machine (where the kernel's delaying
// queue discipline is missing).
//
//   delay-proxy LISTEN_PORT TARGET DELAY_US
//
// listens on 127.0.0.1:LISTEN_PORT and connects each client to TARGET (a
// Unix socket path, or HOST:PORT), delaying what travels either way by
// DELAY_US microseconds: the round trip grows by twice that. Bytes keep
// their order; the link's bandwidth is not limited. Runs until killed.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int ConnectTarget(const std::string& target) {
  if (target.find('/') != std::string::npos) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (target.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, target.c_str(), target.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
  }
  const size_t colon = target.rfind(':');
  if (colon == std::string::npos) return -1;
  addrinfo hints{}, *found = nullptr;
  hints.ai_socktype = SOCK_STREAM;
  if (getaddrinfo(target.substr(0, colon).c_str(), target.substr(colon + 1).c_str(), &hints,
                  &found) != 0)
    return -1;
  int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
    close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  if (fd >= 0) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Copies `from` to `to`, each chunk written `delay` after it was read.
void Forward(int from, int to, Clock::duration delay) {
  struct Chunk {
    Clock::time_point due;
    std::string bytes;
  };
  std::deque<Chunk> queue;
  bool open = true;
  std::vector<char> buf(1 << 16);
  while (open || !queue.empty()) {
    timespec wait{};
    timespec* timeout = nullptr;  // nothing queued: wait for input only
    if (!queue.empty()) {
      const auto left = std::max(Clock::duration::zero(), queue.front().due - Clock::now());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      wait.tv_sec = ns / 1000000000;
      wait.tv_nsec = ns % 1000000000;
      timeout = &wait;
    }
    pollfd p{from, POLLIN, 0};
    const int ready = open ? ppoll(&p, 1, timeout, nullptr) : 0;
    if (!open && timeout) std::this_thread::sleep_for(queue.front().due - Clock::now());
    if (ready > 0) {
      const ssize_t n = read(from, buf.data(), buf.size());
      if (n > 0)
        queue.push_back({Clock::now() + delay, std::string(buf.data(), static_cast<size_t>(n))});
      else if (n == 0 || errno != EINTR)
        open = false;
    }
    while (!queue.empty() && queue.front().due <= Clock::now()) {
      if (!WriteAll(to, queue.front().bytes.data(), queue.front().bytes.size())) return;
      queue.pop_front();
    }
  }
  shutdown(to, SHUT_WR);
}

void Serve(int client, std::string target, Clock::duration delay) {
  const int server = ConnectTarget(target);
  if (server < 0) {
    std::fprintf(stderr, "delay-proxy: cannot connect to %s: %s\n", target.c_str(),
                 std::strerror(errno));
    close(client);
    return;
  }
  std::thread back(Forward, server, client, delay);
  Forward(client, server, delay);
  back.join();
  close(server);
  close(client);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: delay-proxy LISTEN_PORT TARGET DELAY_US\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const std::string target = argv[2];
  const auto delay = std::chrono::microseconds(std::atol(argv[3]));
  // Sleeps end when asked, not up to 50 microseconds later.
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  std::signal(SIGPIPE, SIG_IGN);
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, 16) != 0) {
    std::fprintf(stderr, "delay-proxy: cannot listen on port %d: %s\n", port, std::strerror(errno));
    return 1;
  }
  for (;;) {
    const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::thread(Serve, client, target, delay).detach();
  }
}
