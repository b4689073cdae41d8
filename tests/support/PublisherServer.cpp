#include "support/PublisherServer.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace {

std::string ScriptPath() {
  return (std::filesystem::path(__FILE__).parent_path().parent_path() / "fixtures" /
          "publisher_server.py")
      .string();
}

// Reads the "PORT <n>" line the server prints once it listens; 0 when it does not
// within the time limit.
int ReadPortLine(int fd, int timeoutMs) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return 0;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) return 0;
    char buffer[64];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return 0;
    line.append(buffer, static_cast<size_t>(n));
  }
  int port = 0;
  return std::sscanf(line.c_str(), "PORT %d", &port) == 1 ? port : 0;
}

size_t AppendBody(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

}  // namespace

PublisherServer::PublisherServer(const std::string& root, const std::vector<std::string>& rules) {
  std::vector<std::string> args = {"python3", "-u", ScriptPath(), root};
  for (const auto& rule : rules) {
    args.push_back("--rule");
    args.push_back(rule);
  }
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ == 0) {
    // The server ends with the test process, also when a test aborts: an orphan would
    // keep the test's output pipe open.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  port_ = pid_ > 0 ? ReadPortLine(pipeFds[0], 10000) : 0;
  close(pipeFds[0]);
  if (port_ == 0) {
    Stop();
    throw std::runtime_error("the publisher server did not start");
  }
}

PublisherServer::~PublisherServer() { Stop(); }

void PublisherServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

std::string PublisherServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::wstring PublisherServer::WideUrl(const std::string& path) const {
  std::string url = Url(path);
  return std::wstring(url.begin(), url.end());
}

std::string PublisherServer::Control(const std::string& pathAndQuery) const {
  std::string body;
  CURL* easy = curl_easy_init();
  std::string url = Url("/_control/" + pathAndQuery);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, 10L);
  CURLcode result = curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  if (result != CURLE_OK) throw std::runtime_error("publisher control request failed: " + url);
  return body;
}

void PublisherServer::SetRule(const std::string& path, const std::string& query) const {
  Control("rule?path=" + QueryEscape(path) + "&" + query);
}

void PublisherServer::Clear() const { Control("clear"); }

std::vector<std::string> PublisherServer::RequestLog() const {
  std::vector<std::string> lines;
  std::istringstream in(Control("log"));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<std::string> PublisherServer::RequestsFor(const std::string& path) const {
  std::vector<std::string> found;
  const std::string key = "\"path\": \"" + path + "\"";
  for (auto& line : RequestLog())
    if (line.find(key) != std::string::npos) found.push_back(line);
  return found;
}

bool WriteRandomFile(const std::string& path, uint64_t size, uint64_t seed) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  bool ok = true;
  for (uint64_t left = size; left > 0 && ok;) {
    for (auto& word : block) {  // xorshift64*
      state ^= state >> 12;
      state ^= state << 25;
      state ^= state >> 27;
      word = state * 0x2545F4914F6CDD1Dull;
    }
    size_t piece = static_cast<size_t>(std::min<uint64_t>(left, block.size() * sizeof(uint64_t)));
    ok = std::fwrite(block.data(), 1, piece, file) == piece;
    left -= piece;
  }
  return std::fclose(file) == 0 && ok;
}

TFileDigest DigestFile(const std::string& path) {
  TFileDigest digest;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return digest;
  std::vector<unsigned char> buffer(1 << 20);
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) {
    for (size_t i = 0; i < n; ++i) hash = (hash ^ buffer[i]) * 0x100000001b3ull;
    digest.size += n;
  }
  std::fclose(file);
  digest.hash = hash;
  return digest;
}

int ClosedLocalPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

std::string QueryEscape(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char ch : text) {
    if (isalnum(ch) || ch == '/' || ch == '-' || ch == '_' || ch == '.' || ch == '~') {
      out += static_cast<char>(ch);
    } else {
      out += '%';
      out += hex[ch >> 4];
      out += hex[ch & 15];
    }
  }
  return out;
}
