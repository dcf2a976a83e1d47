// The editor's local web server: the page and the document's API on
// 127.0.0.1, guarded by the session's token and the Host and Origin checks.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "editor_document.h"
#include "request_guard.h"

namespace httplib {
class Server;
}

namespace tvx::view {

class ViewServer {
 public:
  ViewServer(EditorDocument& document, std::string token);
  ~ViewServer();
  ViewServer(const ViewServer&) = delete;
  ViewServer& operator=(const ViewServer&) = delete;

  // Binds 127.0.0.1 to port (0: a free port chosen by the system) and
  // returns the port; throws when it cannot.
  int Bind(int port);
  std::string Url() const { return guard_->PageUrl(); }
  // Serves until Stop (from another thread or a signal watcher).
  void Run();
  void Stop();

 private:
  void AddRoutes();

  EditorDocument& document_;
  std::string token_;
  std::unique_ptr<RequestGuard> guard_;
  std::unique_ptr<httplib::Server> server_;
  // A stop that came before the listening loop began would be lost: Run
  // looks at it first, and Stop waits for the loop once Run has begun.
  std::atomic<bool> stopAsked_{false};
  std::atomic<bool> serving_{false};
};

}  // namespace tvx::view
