// The document's API: reads the page draws from and the changes it asks
// for, as JSON (binary arrays for the bulky signal views).
#pragma once

#include <string>

#include "editor_document.h"

namespace httplib {
class Server;
}

namespace tvx::view {

// Routes under prefix ("/TOKEN"). The library is single-threaded, so the
// handlers take turns.
void AddDocumentRoutes(httplib::Server& server, const std::string& prefix, EditorDocument& document);

}  // namespace tvx::view
