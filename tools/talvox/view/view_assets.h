// The page's files, built into the program from tools/talvox/view/web.
#pragma once

#include <cstddef>
#include <string>

namespace tvx::view {

struct Asset {
  const char* name;  // "app.js"
  const char* type;  // "text/javascript; charset=utf-8"
  const unsigned char* data;
  size_t size;
};

// The asset of that name, or nullptr.
const Asset* FindAsset(const std::string& name);

}  // namespace tvx::view
