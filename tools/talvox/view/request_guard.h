// What every request to the editor's local server must show: the session's
// random token as the first path segment, a Host naming this server on the
// loopback interface, and no Origin other than the page's own. A page of
// any other site the user has open may send requests to 127.0.0.1 too.
#pragma once

#include <string>

namespace tvx::view {

// 32 hexadecimal digits from the system's random source.
std::string NewToken();

class RequestGuard {
 public:
  RequestGuard(std::string token, int port);

  const std::string& token() const { return token_; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT/TOKEN/", the address the user opens.
  std::string PageUrl() const;

  // The reason to refuse (empty when the request may pass). host and origin
  // are the header values ("" when the header is absent).
  std::string Refusal(const std::string& path, const std::string& host, const std::string& origin,
                      bool hasOrigin) const;
  // The path without the token prefix ("/api/info"); only for accepted paths.
  std::string Inner(const std::string& path) const;

 private:
  bool HostIsOurs(const std::string& host) const;
  bool TokenPrefixed(const std::string& path) const;

  std::string token_;
  int port_;
};

}  // namespace tvx::view
