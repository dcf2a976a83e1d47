#include "request_guard.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace tvx::view {
namespace {

// Compares without stopping at the first difference, so the time taken says
// nothing about how much of a guessed token was right.
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned difference = 0;
  for (size_t i = 0; i < a.size(); i++) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace

std::string NewToken() {
  std::random_device source;  // getrandom(2) on Linux
  std::string token;
  for (int word = 0; word < 4; word++) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(source()));
    token += digits;
  }
  return token;
}

RequestGuard::RequestGuard(std::string token, int port) : token_(std::move(token)), port_(port) {}

std::string RequestGuard::PageUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + token_ + "/";
}

bool RequestGuard::HostIsOurs(const std::string& host) const {
  std::string port = ":" + std::to_string(port_);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool RequestGuard::TokenPrefixed(const std::string& path) const {
  if (path.size() < token_.size() + 2 || path[0] != '/') return false;
  return SameText(path.substr(1, token_.size()), token_) && path[token_.size() + 1] == '/';
}

std::string RequestGuard::Refusal(const std::string& path, const std::string& host, const std::string& origin,
                                  bool hasOrigin) const {
  if (!HostIsOurs(host)) return "foreign Host";
  if (hasOrigin && !HostIsOurs(origin.rfind("http://", 0) == 0 ? origin.substr(7) : std::string("-")))
    return "foreign Origin";
  if (!TokenPrefixed(path)) return "missing or wrong token";
  return "";
}

std::string RequestGuard::Inner(const std::string& path) const { return path.substr(token_.size() + 1); }

}  // namespace tvx::view
