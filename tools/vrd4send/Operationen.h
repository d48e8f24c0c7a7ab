#pragma once
// The operations vrd4send understands: every command of the protocol's
// command table under the name of its clsVRD4Sender method, with the row's
// parameters, plus vrd4send's own waits. The help text and the parser are
// both driven from this list.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/Befehlstabelle.h"

namespace vrd4::sender {
class clsVRD4Sender;
}

namespace vrd4::vrd4send {

using Typ = protocol::FeldTyp;
std::string_view typName(Typ typ);

// A parsed parameter: whole numbers (Int16, Int32, Byte) as int64_t, Bool,
// Double, Text.
using Wert = std::variant<int64_t, bool, double, std::u16string>;

struct Parameter {
  std::string name;
  Typ typ;
};

struct Operation {
  std::string name;
  std::vector<Parameter> parameter;
  // Reply operations print the slot number the receiver assigned.
  bool liefertNummer = false;
  std::string_view hinweis;  // one line for --help; empty for plain commands
  // Runs the operation; returns the slot number for reply operations.
  std::function<int(sender::clsVRD4Sender&, const std::vector<Wert>&)> ausfuehren;
};

const std::vector<Operation>& operationen();

// Set (e.g. from a signal handler) to cut "Warten" short.
std::atomic<bool>& abbruch();
// Exact, case-sensitive; nullptr when unknown.
const Operation* findeOperation(std::string_view name);
// Ignoring case, to suggest the right spelling; nullptr when none.
const Operation* aehnlicheOperation(std::string_view name);

}  // namespace vrd4::vrd4send
