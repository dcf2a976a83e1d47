#include "view_server.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "view_routes.h"

namespace tvx::view {
namespace {

constexpr size_t kLargestBody = 16u << 20;  // a pitch stroke over an hour still fits

}  // namespace

ViewServer::ViewServer(EditorDocument& document, std::string token)
    : document_(document), token_(std::move(token)), server_(std::make_unique<httplib::Server>()) {
  // The page reuses its connections: with Nagle's algorithm each small
  // answer after the first waited for the browser's delayed ACK, 40 ms.
  // (Set before binding: accepted sockets take it from the listening one.)
  server_->set_tcp_nodelay(true);
}

ViewServer::~ViewServer() = default;

int ViewServer::Bind(int port) {
  int bound = port;
  if (port == 0) {
    bound = server_->bind_to_any_port("127.0.0.1");
    if (bound < 0) throw std::runtime_error("no free port on 127.0.0.1");
  } else if (!server_->bind_to_port("127.0.0.1", port)) {
    throw std::runtime_error("port " + std::to_string(port) + " on 127.0.0.1 is in use or not allowed");
  }
  guard_ = std::make_unique<RequestGuard>(token_, bound);
  AddRoutes();
  return bound;
}

void ViewServer::AddRoutes() {
  server_->set_payload_max_length(kLargestBody);
  server_->set_default_headers({
      {"Cache-Control", "no-store"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Content-Security-Policy",
       "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data: blob:; "
       "media-src 'self' blob:; connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'"},
  });
  const RequestGuard* guard = guard_.get();
  server_->set_pre_routing_handler([guard](const httplib::Request& request, httplib::Response& response) {
    std::string refusal = guard->Refusal(request.path, request.get_header_value("Host"),
                                         request.get_header_value("Origin"), request.has_header("Origin"));
    if (refusal.empty()) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 403;
    response.set_content("refused: " + refusal + "\n", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });
  AddDocumentRoutes(*server_, "/" + token_, document_);
}

void ViewServer::Run() {
  if (!guard_) throw std::logic_error("ViewServer::Run before Bind");
  serving_ = true;
  if (!stopAsked_) server_->listen_after_bind();
  serving_ = false;
}

void ViewServer::Stop() {
  stopAsked_ = true;
  while (serving_ && !server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  server_->stop();
}

}  // namespace tvx::view
