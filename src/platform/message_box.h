// The message box: caption and text on one line of standard error
// ("Error: Cannot Open the Audio Device").
#pragma once

#include <cstdint>
#include <cstdio>

namespace talvox::platform {

constexpr uint32_t MB_OK = 0;
constexpr int IDOK = 1;

// Always answers IDOK, as a box with a single OK button does.
int MessageBoxA(void* owner, const char* text, const char* caption, uint32_t type);

// Where the boxes are printed (standard error unless a test redirects them);
// returns the previous stream. Null restores standard error.
std::FILE* RedirectMessageBoxes(std::FILE* stream);

}  // namespace talvox::platform
