// The texts the operator reads when a backup lacks files, against the exact
// words: how paths are listed (how many, "... and N more.", long and odd
// names), and every reason a file, a job or a program copy is told with.
#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QString>
#include <gtest/gtest.h>

#include <cerrno>

#include "app/backup_messages.h"
#include "app/companion_copy.h"
#include "platform/ui/message_boxes.h"
#include "tests/ui/qt_test_app.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const QString kWithout1 = QStringLiteral(
    "The backup procedure is finished without 1 file: its name on the NVR cannot be saved in the backup folder.");
QString Without(int n) {
  return QStringLiteral("The backup procedure is finished without %1 files: their names on the NVR cannot be saved "
                        "in the backup folder.")
      .arg(n);
}

// Files refused for their names alone, which need no reason of their own.
std::vector<RefusedFile> Named(const QStringList& paths) {
  std::vector<RefusedFile> files;
  for (const QString& path : paths) files.push_back({path, RefusedFile::kRefusedName});
  return files;
}

TEST(BackupMessages, RefusedPathsAreListedAsTheOperatorReadsThem) {
  const QString huge = QStringLiteral("/rec/") + QString(5016, QLatin1Char('h'));  // 5,021 bytes
  QStringList seven;
  for (int i = 1; i <= 7; ++i) seven << QStringLiteral("/rec/ch0%1/a.avi").arg(i);
  struct Case {
    const char* name;
    QString text;
    QString expected;
  } cases[] = {
      {"one path", FinishedWithoutText(1, Named({"/rec/2013/03/07/ch03/"})), kWithout1 + "\n/rec/2013/03/07/ch03/"},
      {"two paths", FinishedWithoutText(2, Named({"/rec/a/", "/rec/../evil.bin"})),
       Without(2) + "\n/rec/a/\n/rec/../evil.bin"},
      {"seven paths, five shown", FinishedWithoutText(7, Named(seven.mid(0, kFinishedWithoutPathsShown))),
       Without(7) +
           "\n/rec/ch01/a.avi\n/rec/ch02/a.avi\n/rec/ch03/a.avi\n/rec/ch04/a.avi\n/rec/ch05/a.avi\n... and 2 more."},
      {"a path of 5,021 bytes keeps its start and its end", FinishedWithoutText(1, Named({huge})),
       kWithout1 + "\n/rec/" + QString(15, QLatin1Char('h')) + "..." + QString(37, QLatin1Char('h'))},
      {"control characters show as ?", FinishedWithoutText(1, Named({QStringLiteral("/rec/a\nb\x01" "c\x7F.avi")})),
       kWithout1 + "\n/rec/a?b?c?.avi"},
      {"an empty path", FinishedWithoutText(1, Named({QString()})), kWithout1 + "\n(no name)"},
      {"the record list among them", FinishedWithoutText(2, Named({"/rec/../RecordList.db", "/rec/a/"}), true),
       Without(2) + "\n/rec/../RecordList.db\n/rec/a/\n"
                    "The backup has no record list and will not play in the Vestrel Program."},
      {"nothing saved, one file", NothingSavedText(1, Named({"/rec/../RecordList.db"})),
       "Nothing of this job can be saved in the backup folder: the name of its 1 file on the NVR cannot be saved "
       "there.\n/rec/../RecordList.db"},
      {"nothing saved, seven files", NothingSavedText(7, Named(seven.mid(0, 5))),
       "Nothing of this job can be saved in the backup folder: the names of its 7 files on the NVR cannot be saved "
       "there.\n/rec/ch01/a.avi\n/rec/ch02/a.avi\n/rec/ch03/a.avi\n/rec/ch04/a.avi\n/rec/ch05/a.avi\n... and 2 more."},
      // A file left out for a reason of its own has it beside its path.
      {"with their reasons",
       FinishedWithoutText(4, {{"/rec/dir/inner.avi", ENOTDIR},
                               {"/rec/dir", EISDIR},
                               {"/rec/" + QString(200, QLatin1Char('n')), ENAMETOOLONG},
                               {"/setting.ini", RefusedFile::kRefusedProgramName}}),
       Without(4) + "\n/rec/dir/inner.avi (Not a directory)\n/rec/dir (Is a directory)\n/rec/" +
           QString(15, QLatin1Char('n')) + "..." + QString(37, QLatin1Char('n')) +
           " (File name too long)\n/setting.ini (a file of the Vestrel Program takes this name)"},
      {"nothing saved, with a reason", NothingSavedText(1, {{"/rec/a:b.avi", EINVAL}}),
       "Nothing of this job can be saved in the backup folder: the name of its 1 file on the NVR cannot be saved "
       "there.\n/rec/a:b.avi (Invalid argument)"},
      {"one lost file", LostFilesText(1, {"/m/backup/rec/a.avi"}),
       "The file is no longer in the backup folder as it arrived:\n/m/backup/rec/a.avi"},
      {"lost files", LostFilesText(6, seven.mid(0, 5)),
       "6 files are no longer in the backup folder as they arrived:\n/rec/ch01/a.avi\n/rec/ch02/a.avi\n"
       "/rec/ch03/a.avi\n/rec/ch04/a.avi\n/rec/ch05/a.avi\n... and 1 more."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

// Every line of a box is seen whole: a short text on its own lines, a long
// one wrapped at its blanks, and a path, which has no blank to wrap at, with
// its reason; the longest line a box lists for a path fits even a small
// screen, else its end (the file's name) would be cut off.
TEST(BackupMessages, EveryLineOfABoxIsShownWhole) {
  testing_ui::App();
  const QStringList texts = {
      QStringLiteral("NVR(127.0.0.1) Login Success!"),
      FinishedWithoutText(1, {{"/rec/" + QString(4084, QLatin1Char('W')), ENAMETOOLONG}}),
      FinishedWithoutText(1, {{"/rec/" + QString(4084, QLatin1Char('0')), ENAMETOOLONG}}),
      NothingSavedText(7, {{"/rec/ch01/a.avi", ENOTDIR}, {"/rec/ch02/a.avi", RefusedFile::kRefusedName}}),
  };
  for (const QString& text : texts) {
    SCOPED_TRACE(text.left(40).toStdString());
    bool checked = false;
    QTimer::singleShot(0, [&] {
      testing_ui::PumpUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; });
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      testing_ui::Pump(std::chrono::milliseconds(20));
      const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      if (label != nullptr) {
        const int width = label->contentsRect().width();
        const QFontMetrics metrics = label->fontMetrics();
        for (const QString& line : text.split(QLatin1Char('\n'))) {
          if (!label->wordWrap()) {
            EXPECT_LE(metrics.horizontalAdvance(line), width) << line.toStdString();
          }
          for (const QString& run : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            EXPECT_LE(metrics.horizontalAdvance(run), width) << run.toStdString();
        }
        // Wrapped, all of its lines have room below one another.
        if (label->wordWrap()) {
          EXPECT_LE(label->heightForWidth(label->width()), label->height());
        }
        EXPECT_TRUE(box->screen()->availableGeometry().contains(box->frameGeometry()));
        checked = true;
      }
      box->button(QMessageBox::Ok)->click();
    });
    platform::ui::ShowQtMessageBox({platform::kNoWindow, QStringLiteral("Warning"), text, platform::MB_OK});
    EXPECT_TRUE(checked);
  }
}

TEST(BackupMessages, EveryFailureIsToldWithItsReason) {
  struct Case {
    const char* name;
    QString text;
    QString expected;
  } cases[] = {
      {"a full disk", NotSavedText(ENOSPC, "/m/b/a.avi"),
       "The file could not be saved in the backup folder: No space left on device.\n/m/b/a.avi"},
      {"no error number", NotSavedText(0, "/m/b/a.avi"), "The file could not be saved in the backup folder.\n/m/b/a.avi"},
      {"the worker's file error wins", DownloadFailureText(404, true, EACCES, "/m/b/a.avi"),
       "The file could not be saved in the backup folder: Permission denied.\n/m/b/a.avi"},
      {"404", DownloadFailureText(404, false, 0, "/m/b/a.avi"),
       "Backup is interrupted because another backup procedure is running"},
      {"no answer", DownloadFailureText(0, false, 0, "/m/b/a.avi"), "Network Failed!"},
      {"a body broken off", DownloadFailureText(200, true, 0, "/m/b/a.avi"), "Network Failed!"},
      {"an error page", DownloadFailureText(500, false, 0, "/m/b/a.avi"), ""},
      {"the connection lost", JobLostWithConnectionText(),
       "The job is gone: the connection to the NVR was lost. Please log in again and add the job anew with \"Add\"."},
      {"a program file", CompanionCopyFailureText({"libavcodec.so.54", ENOSPC}),
       "The program files could not all be copied into the backup folder: libavcodec.so.54: No space left on device"},
      {"a program file without a reason", CompanionCopyFailureText({"images/a.bmp", 0}),
       "The program files could not all be copied into the backup folder: images/a.bmp"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

}  // namespace
