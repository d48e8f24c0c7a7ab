#include "AppTestUmgebung.h"

#include <unistd.h>

#include <QDir>
#include <cstdlib>

namespace vrd4::app::test {

namespace {
int g_argc = 1;
char g_name[] = "app_tests";
char* g_argv[] = {g_name, nullptr};
}  // namespace

void QtUmgebung::SetUp() {
  channel::setChannelNamePrefix(prefix_ + std::to_string(getpid()) + "_");
  app_ = std::make_unique<QApplication>(g_argc, g_argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

void QtUmgebung::TearDown() {
  app_.reset();
  // The objects outlive this process otherwise.
  gv::removeChannelObjects();
}

std::u16string befehl(std::initializer_list<std::u16string> teile) {
  std::u16string s = u"Befehl";
  for (const auto& t : teile) {
    s += u'\x1b';
    s += t;
  }
  return s;
}

TempOrdner::TempOrdner() {
  char muster[] = "/tmp/vrd4_app_XXXXXX";
  if (char* p = mkdtemp(muster)) pfad_ = p;
}

TempOrdner::~TempOrdner() {
  if (!pfad_.empty()) QDir(QString::fromStdString(pfad_)).removeRecursively();
}

}  // namespace vrd4::app::test
