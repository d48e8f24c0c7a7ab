#pragma once
// The overview page (seite.html, built in): HTML, its style and its script
// in one file, loading nothing from elsewhere. It follows /ereignisse and
// shows each board's thumbnail, state, numbers and status lines, whatever
// a board sent only ever as text.
#include <string_view>

namespace vrd4::uebersicht {

std::string_view seite();

}  // namespace vrd4::uebersicht
