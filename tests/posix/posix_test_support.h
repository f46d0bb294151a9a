// Shared set-up for the POSIX layer tests: each test works in a fresh
// temporary folder, with the environment variables the layer reads set to
// known values, and gets everything back as it was afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class PosixLayerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets (or, with value null, unsets) a variable until the test ends.
  void setEnv(const char* name, const char* value);

  // dir_ + "/" + relative.
  std::string path(const std::string& relative) const;
  void writeText(const std::string& file, const std::string& text) const;
  void makeFolder(const std::string& folder) const;

  std::string dir_;  // the test's own temporary folder, no trailing "/"

 private:
  struct SavedVariable {
    std::string name;
    bool wasSet;
    std::string value;
  };
  std::vector<SavedVariable> saved_;
};

std::string readText(const std::string& file);
