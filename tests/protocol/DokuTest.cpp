// The command tables in docs/protocol.md and docs/network.md are the ones
// made from the command table (tools/befehlsdoku).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Befehlsdoku.h"

namespace vrd4::tools {
namespace {

TEST(Doku, TheCommandTablesInTheDocsAreMadeFromTheCommandTable) {
  for (const Doktafel& t : doktafeln()) {
    std::stringstream seite;
    seite << std::ifstream(std::string(VRD4_SOURCE_DIR) + "/" + t.datei).rdbuf();
    const auto soll = eingesetzt(seite.str(), t);
    ASSERT_TRUE(soll) << t.datei << " lacks the markers of table " << t.name;
    EXPECT_EQ(seite.str(), *soll) << t.datei << ", table " << t.name << ": build/bin/befehlsdoku --schreiben .";
  }
}

}  // namespace
}  // namespace vrd4::tools
