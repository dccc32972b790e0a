// One QApplication for every test that draws text or builds widgets, on no screen at all, and
// the platform's texts installed as the program does at start.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <memory>

#include "shell/texts.h"

namespace {

class QtApplication : public ::testing::Environment {
  public:
    // Creates the application on the main thread before any test runs.
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        zelmo::texts::installPlatformTexts();
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "zelmo_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
