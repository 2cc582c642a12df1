// The main of every GoogleTest program. Output is unbuffered, so that a test
// program that dies still shows which case it was in and how far it got.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stderr, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
