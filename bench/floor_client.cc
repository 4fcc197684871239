// The floor for the end-to-end figures: the least a client can do to make the
// same calls. It sends prepared request lines over one loopback connection,
// one at a time, and reads each answer up to its line feed without looking
// inside. Usage: floor_client PORT REQUESTS_FILE
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void die(const char* what) {
  std::perror(what);
  std::exit(1);
}

int connect_loopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) die("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) die("connect");
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

void send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) die("send");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Reads until one line feed has arrived; the protocol sends nothing unasked,
// so an answer never shares a read with the next one.
void read_answer(int fd) {
  for (;;) {
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) die("recv");
    if (std::memchr(chunk, '\n', static_cast<std::size_t>(n)) != nullptr) return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: floor_client PORT REQUESTS_FILE\n");
    return 2;
  }
  std::ifstream file(argv[2], std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  const std::string requests = contents.str();

  const int fd = connect_loopback(std::atoi(argv[1]));
  std::size_t answers = 0;
  std::string_view rest = requests;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) break;
    send_all(fd, rest.substr(0, end + 1));
    read_answer(fd);
    rest.remove_prefix(end + 1);
    ++answers;
  }
  close(fd);
  std::printf("%zu answers\n", answers);
  return 0;
}
