// The child of the crash test: saves version N of the 100 MB page over the
// file given, saying "saving" just before, so the parent can kill it mid-save.
#include <QCoreApplication>
#include <cstdio>

#include "crash_page.h"
#include "files/v_file.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  const TextBuffer page{QString::fromLatin1(crashPageVersion(std::atoi(argv[2]))),
                        TextEncoding::Bytes};
  std::fputs("saving\n", stdout);
  std::fflush(stdout);
  const Status saved = vFile::SaveText(page, QString::fromLocal8Bit(argv[1]));
  if (!saved) std::fprintf(stderr, "%s\n", qPrintable(saved.why()));
  return saved ? 0 : 1;
}
