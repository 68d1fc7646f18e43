// Runs the window's tests inside one QApplication, made only when tests run (not when they are
// listed), on the platform plugin the test's environment names.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class Application final : public testing::Environment {
 public:
  void SetUp() override { application_ = std::make_unique<QApplication>(count_, arguments_); }
  void TearDown() override { application_.reset(); }

 private:
  char name_[16] = "qt_window_tests";
  char* arguments_[2] = {name_, nullptr};
  int count_ = 1;
  std::unique_ptr<QApplication> application_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new Application);
  return RUN_ALL_TESTS();
}
