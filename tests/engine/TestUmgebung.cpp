// One GUI application (fonts need it) and one channel name prefix per test
// process, so that parallel test binaries and a running receiver never meet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <memory>
#include <string>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"

namespace {

class Umgebung final : public ::testing::Environment {
 public:
  void SetUp() override {
    vrd4::channel::setChannelNamePrefix("t_engine_" + std::to_string(::getpid()) + "_");
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }
  void TearDown() override {
    vrd4::channel::modVRD4GlobaleVariablen::removeChannelObjects();
    app_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "engine_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const umgebung =
    ::testing::AddGlobalTestEnvironment(new Umgebung);

}  // namespace
