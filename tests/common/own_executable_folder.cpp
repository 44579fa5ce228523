// Each test program gets a temporary folder in place of the executable's, so
// the answer files, record lists and ini files a test makes or rewrites never
// land beside the built program (CTest runs every case as a process of its own,
// so every case gets a fresh folder). A test about the real folder clears the
// override for its own duration.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include "platform/core/files.h"

namespace {

class ExecutableFolderOfOurOwn : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarnwell-bin-XXXXXX"));
    ASSERT_TRUE(folder_->isValid()) << "no temporary folder for the executable's files";
    previous_ = platform::SetExecutableFolderOverride(folder_->path());
  }
  void TearDown() override {
    platform::SetExecutableFolderOverride(previous_);
    folder_.reset();
  }

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QString previous_;
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new ExecutableFolderOfOurOwn);

}  // namespace
