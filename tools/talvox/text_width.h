// Columns of text on a terminal: UTF-8 descriptions take as many columns as
// their characters show (wide characters two, combining marks none), not as
// many as their bytes, so table columns stay aligned.
#pragma once

#include <string>

namespace tvx {

// The columns text takes; an invalid byte counts as one (shown as '?').
int DisplayWidth(const std::string& text);

// text cut to at most columns (never inside a character) and padded with
// spaces to exactly columns; invalid bytes become '?'.
std::string FitToColumns(const std::string& text, int columns);

}  // namespace tvx
