// Opens the backup progress dialog on answer files of 16 MiB and reports the
// time until the dialog is shown with its list and the peak memory of the
// process. The shapes: many short lines in one folder, many short lines of a
// folder each, lines of about 2,000 folders each (as long as a path in the
// backup folder may be), and a single huge line.
//
//   answer_file_bench [MiB] [shape]
//
// With a shape ("one folder", "a folder each", "deep folders", "one huge
// line") only that one runs.
//
// Each case runs in a child process of its own, so one's peak does not hide
// the other's. The dialog's first download goes to a closed loopback port and
// fails at once; nothing else touches the network.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/process_dialog.h"
#include "platform/core/files.h"
#include "platform/core/message_box.h"

namespace {

constexpr int kJobId = 123456;

// Short lines of `format` (one number in it), and the record list last.
QByteArray ShortLines(qint64 bytes, const char* format) {
  QByteArray answer = "to,1000000\n";
  char line[32];
  for (int i = 0; answer.size() < bytes - 64; ++i) {
    std::snprintf(line, sizeof line, format, i % 10000000);
    answer += line;
  }
  answer += "/rec/2013/03/04/RecordList.db,131\n";
  return answer;
}

QByteArray OneFolder(qint64 bytes) { return ShortLines(bytes, "/a/%07d,9\n"); }
QByteArray AFolderEach(qint64 bytes) { return ShortLines(bytes, "/%07d/f,9\n"); }

// Each line a chain of folders of its own, about 4,000 bytes long, so it
// still fits a path in the backup folder.
QByteArray DeepFolders(qint64 bytes) {
  QByteArray answer = "to,1000000\n";
  QByteArray chain;
  for (int i = 0; i < 1995; ++i) chain += "/a";
  char head[32];
  for (int i = 0; answer.size() < bytes - 4200; ++i) {
    std::snprintf(head, sizeof head, "/r%d", i);
    answer += head + chain + "/f,9\n";
  }
  answer += "/rec/2013/03/04/RecordList.db,131\n";
  return answer;
}

QByteArray OneHugeLine(qint64 bytes) {
  QByteArray answer = "to,1000000\n/";
  answer += QByteArray(bytes - 64, 'x');
  answer += ",9\n/rec/2013/03/04/RecordList.db,131\n";
  return answer;
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int RunCase(int argc, char** argv, const char* name, const QByteArray& answer) {
  QTemporaryDir dir;
  platform::SetExecutableFolderOverride(dir.path());
  QFile file(dir.path() + QString::asprintf("/%.6d.txt", kJobId));
  if (!file.open(QIODevice::WriteOnly) || file.write(answer) != answer.size() || !file.flush()) {
    std::fprintf(stderr, "cannot write the answer file\n");
    return 1;
  }
  file.close();
  const long rssBefore = PeakRssKiB();

  QApplication app(argc, argv);
  platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) { return platform::IDOK; });
  nvr::NvrSession session;
  session.SetServer("bench", "127.0.0.1", "u", "p", 1, 0);
  auto job = std::make_unique<nvr::BackupJob>();
  job->id = kJobId;
  job->start.year = 2013, job->start.month = 3, job->start.day = 4;
  session.jobs.Push(std::move(job));

  CProcessDialog dlg;
  dlg.m_strDestination = dir.path() + QStringLiteral("/backup201303041200");
  dlg.m_pSession = &session;
  dlg.m_rowQueue.Push(std::make_unique<int>(0));
  dlg.m_nRestBetweenFilesMs = 0;
  const auto start = std::chrono::steady_clock::now();
  double shownMs = -1;
  int rows = 0;
  platform::ui::SetDialogShownHook([&](platform::ui::Dialog& shown) {
    QApplication::processEvents();  // the list lays out and paints its first rows
    shownMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    rows = dlg.FileList() ? dlg.FileList()->GetItemCount() : 0;
    shown.EndDialog(platform::ui::IDCANCEL);
  });
  dlg.DoModal();
  std::printf("%-14s answer %6.2f MiB  rows %8d  shown after %8.1f ms  peak RSS %7.1f MiB (%.1f MiB before Qt)\n", name,
              double(answer.size()) / 1048576.0, rows, shownMs, double(PeakRssKiB()) / 1024.0,
              double(rssBefore) / 1024.0);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const qint64 bytes = (argc > 1 ? std::atoll(argv[1]) : 16) * 1024 * 1024;
  const char* only = argc > 2 ? argv[2] : nullptr;
  struct Case {
    const char* name;
    QByteArray (*make)(qint64);
  } cases[] = {{"one folder", OneFolder},
               {"a folder each", AFolderEach},
               {"deep folders", DeepFolders},
               {"one huge line", OneHugeLine}};
  int failed = 0;
  for (const Case& c : cases) {
    if (only != nullptr && std::strcmp(only, c.name) != 0) continue;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) _exit(RunCase(argc, argv, c.name, c.make(bytes)));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = 1;
  }
  return failed;
}
