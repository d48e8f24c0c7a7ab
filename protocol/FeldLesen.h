#pragma once
// Field readers that also know the parameter's name, so that an error can say
// which parameter it was. konvertieren uses these; the public readers of
// Befehl.h are the same without a name.
#include <cstdint>
#include <string_view>

namespace vrd4::protocol::detail {

// Where a field sits, only for the error text. position < 0: not known.
struct FeldOrt {
  std::u16string_view befehl;
  int position = -1;
  std::u16string_view parameter;
};

int16_t leseInt16(std::u16string_view feld, const FeldOrt& ort);
int32_t leseInt32(std::u16string_view feld, const FeldOrt& ort);
uint8_t leseByte(std::u16string_view feld, const FeldOrt& ort);
bool leseBool(std::u16string_view feld, const FeldOrt& ort);

// Throws the FeldFehler for a field that the text does not have.
[[noreturn]] void feldFehlt(const FeldOrt& ort);

}  // namespace vrd4::protocol::detail
