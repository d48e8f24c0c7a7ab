// Fonts and painting need a QGuiApplication; one lives for the whole run.
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

class GuiEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "text_tests";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) app_ = new QGuiApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QGuiApplication* app_ = nullptr;
};

const auto* const kGui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
