// Runs the local publisher server (tests/fixtures/publisher_server.py) for one test or
// benchmark: starts it on 127.0.0.1 with an ephemeral port, waits until it listens, and
// stops it when the object goes away. Rules that make it misbehave per path are set on
// its control endpoint.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class PublisherServer {
 public:
  // Serves the files of `root`; `rules` are "PATH?key=value&..." texts as the script's
  // --rule option takes them. Throws std::runtime_error when the server does not come up.
  explicit PublisherServer(const std::string& root, const std::vector<std::string>& rules = {});
  ~PublisherServer();
  PublisherServer(const PublisherServer&) = delete;
  PublisherServer& operator=(const PublisherServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:<port><path>".
  std::string Url(const std::string& path) const;
  std::wstring WideUrl(const std::string& path) const;

  // Sets (replaces) the rule of `path`: query is "status=404&body=gone" and the like.
  void SetRule(const std::string& path, const std::string& query) const;
  // Forgets every rule and the request log.
  void Clear() const;
  // One JSON text per request served since the start or the last Clear().
  std::vector<std::string> RequestLog() const;
  // The request log entries for one path.
  std::vector<std::string> RequestsFor(const std::string& path) const;

 private:
  void Stop();
  std::string Control(const std::string& pathAndQuery) const;

  pid_t pid_ = -1;
  int port_ = 0;
};

// Writes `size` pseudo-random bytes (fixed by `seed`) to a host file, for the server to
// serve; false on failure.
bool WriteRandomFile(const std::string& path, uint64_t size, uint64_t seed);
// 64-bit FNV-1a digest of a host file's bytes (0 when it cannot be read), and its length.
struct TFileDigest {
  uint64_t hash = 0;
  uint64_t size = 0;
  bool operator==(const TFileDigest&) const = default;
};
TFileDigest DigestFile(const std::string& path);

// A loopback port on which nothing listens (it was bound and released just now).
int ClosedLocalPort();
// Escapes a text for a query string value.
std::string QueryEscape(const std::string& text);
