#pragma once
// Between the receiver's command texts and the hall's records: a command
// text in the forwarded form (a picture's bytes as hex in its content
// field) becomes UTF-8 text with that field empty plus the raw bytes, and
// back into fields for the engine.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hall/Nachricht.h"

namespace vrd4::halle {

// bild: the picture's bytes when the caller has them; empty: decoded from
// the hex content field. A hex field that does not decode leaves no bytes.
Eintrag eintragAusZeile(std::u16string_view zeile, std::span<const uint8_t> bild = {});
// The command's fields (protocol::zerlegen of the text).
std::vector<std::u16string> felderAusEintrag(const Eintrag& e);

}  // namespace vrd4::halle
