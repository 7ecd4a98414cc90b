// The child of the history crash test: saves version N of the 20 MB page over
// the file given, with its history in the folder given, saying "saving" just
// before, so the parent can kill it while the history copy or the page is written.
#include <QCoreApplication>
#include <cstdio>

#include "crash_page.h"
#include "files/history_action.h"
#include "files/page_file.h"
#include "files/page_history.h"
#include "files/v_file.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc != 4) return 2;
  history::setRoot(QString::fromLocal8Bit(argv[3]));
  const QByteArray page = crashPageVersion(std::atoi(argv[2]), kHistoryCrashPageSize);
  const history::Action action(QStringLiteral("Insert Code"));
  std::fputs("saving\n", stdout);
  std::fflush(stdout);
  const Status saved = pagefile::save(page, QString::fromLocal8Bit(argv[1]));
  if (!saved) std::fprintf(stderr, "%s\n", qPrintable(saved.why()));
  return saved ? 0 : 1;
}
