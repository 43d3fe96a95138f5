#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/clip.h"
#include "document/sample_types.h"

namespace quillon::testing {

// A private world for one test: HOME, TMPDIR and the XDG folders point into a fresh temporary
// folder, and the block store works in "<root>/cache/quillon". Everything is removed at the end
// and TMPDIR is restored.
class TempEnvironment {
 public:
  TempEnvironment();
  ~TempEnvironment();
  TempEnvironment(const TempEnvironment&) = delete;
  TempEnvironment& operator=(const TempEnvironment&) = delete;

  const std::string& root() const { return root_; }
  std::string workingFolder() const;
  std::string path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
  std::string previousTemp_;
  bool hadTemp_ = false;
};

// Tests of the document core: a TempEnvironment, and at the end no block may be left in use.
class DocumentTest : public ::testing::Test {
 protected:
  void TearDown() override;
  TempEnvironment env;
};

// Writes the interleaved samples into a new block and answers the Clip that holds it.
Clip writeClip(const std::vector<Sample>& samples, int channels = 1,
               int32_t sampleRate = kDefaultSampleRate);
// Reads a whole Clip through a ClipReader.
std::vector<Sample> readAll(const Clip& clip);
// Files of the working folder with the given extension (".aud", ".grf").
int countFiles(const std::string& folder, const std::string& extension);

}  // namespace quillon::testing
