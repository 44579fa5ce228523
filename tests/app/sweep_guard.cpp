// Every test program beside the executable shares its folder, and other
// programs keep answer files and record lists there while they run. A main
// window destroyed in a test sweeps a folder of this program's own instead.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/temp_file_sweep.h"

namespace {

class SweepFolderOfOurOwn : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarnwell-sweep-XXXXXX"));
    previous_ = SetTempSweepFolder(folder_->path() + QLatin1Char('/'));
  }
  void TearDown() override {
    SetTempSweepFolder(previous_);
    folder_.reset();
  }

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QString previous_;
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new SweepFolderOfOurOwn);

}  // namespace
