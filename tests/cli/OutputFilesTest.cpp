// The front end's atomic writing, where the command line can't reach it: a
// rename that fails after the whole file was written.

#include "frontends/cli/OutputFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"

namespace {

size_t EntriesIn(const std::filesystem::path& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(OutputFiles, AFailedWriteOrRenameLeavesNoTemporary) {
  TempDir dir;
  const auto folder = dir.Path() / "folder";
  std::filesystem::create_directory(folder);
  std::ofstream(folder / "inside") << "kept";
  const std::vector<uint8_t> bytes(1000, 0x5A);
  // Renamed over a folder that is not empty; written into a missing folder.
  for (const auto& path : {folder, dir.Path() / "none" / "out.bin"}) {
    EXPECT_FALSE(WriteFileAtomically(path.string(), bytes).empty()) << path;
    EXPECT_EQ(EntriesIn(dir.Path()), 1u) << path;
  }
  EXPECT_EQ(EntriesIn(folder), 1u);
  const auto out = dir.Path() / "out.bin";
  EXPECT_EQ(WriteFileAtomically(out.string(), bytes), "");
  EXPECT_EQ(std::filesystem::file_size(out), bytes.size());
  EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

}  // namespace
