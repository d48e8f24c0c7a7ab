// Fonts, painting and the widget need an application; one lives for the
// whole run.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

class GuiEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "surface_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

const auto* const kGui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
