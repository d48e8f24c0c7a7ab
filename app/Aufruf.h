#pragma once
// The receiver's command line, read once before anything else (no display,
// no channel): every option it knows, and a refusal for any other. Qt sees
// only the Qt options accepted here.
#include <string>
#include <vector>

#include "core/Hallenanschluss.h"

namespace vrd4::app {

struct Aufruf {
  bool hilfe = false;    // -h, --help
  bool version = false;  // --version
  bool vollbild = false;
  std::string praefix;       // --prefix P (valid; empty: the real channel names)
  std::string weiterleiten;  // --weiterleiten A:P
  core::HallenOptionen halle;  // --halle, --tafel, --halle-ca, --halle-zugang
  // -display D, -platform P: handed to Qt (argv[0] first).
  std::vector<std::string> qt;
  // Why the call is refused (German, one line); empty when it is not.
  std::string fehler;
};

// args: the arguments after argv[0]. Options with a value take it from the
// next argument or after "=" (--prefix=P, --weiterleiten=A:P). The last of
// an option counts. The hall's options are checked by
// core::hallenOptionenPruefen.
Aufruf aufrufLesen(const std::vector<std::string>& args);

// Only the channel prefix, as a running receiver's command line gives it;
// "" when it has none or its call is refused.
std::string praefixAus(const std::vector<std::string>& args);

// The text of --help: the options, the Qt options taken, the exit statuses.
std::string hilfeText();

// The first line of the usage (what a refusal of the call repeats).
const char* kurzAufruf();

}  // namespace vrd4::app
