// The desktop window's tests need one QApplication for the whole program;
// listing the tests needs none (and no display).

#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <memory>

int main(int argc, char* argv[]) {
  bool listing = false;
  for (int i = 1; i < argc; ++i) listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<QApplication> application;
  if (!listing) application = std::make_unique<QApplication>(argc, argv);
  return RUN_ALL_TESTS();
}
