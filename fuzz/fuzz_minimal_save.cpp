// The minimal save: the changed stretches turn the old markup into the new
// one exactly, and a patch of a file that holds exactly the old markup is
// either refused or exactly the new markup's bytes, never a third page.
#include "components/minimal_save.h"
#include "fuzz_input.h"

namespace {

// A few edits of the kind a user makes (type, delete, replace) at places the
// input chooses, so that the two versions share most of their text.
QString edited(QString text, FuzzInput& in) {
  const int edits = 1 + in.byte() % 4;
  for (int i = 0; i < edits; ++i) {
    const uint8_t kind = in.byte();
    const qsizetype at = text.isEmpty() ? 0 : (in.byte() * 257 + in.byte()) % (text.size() + 1);
    const qsizetype length = std::min<qsizetype>(in.byte() % 32, text.size() - at);
    const QString typed = QString::fromUtf8(in.piece(24));
    if (kind % 3 == 0)
      text.insert(at, typed);
    else if (kind % 3 == 1)
      text.remove(at, length);
    else
      text.replace(at, length, typed);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const QByteArrayView page = in.piece(255);
  QString before = QString::fromUtf8(in.rest()).prepend(QString::fromUtf8(page));
  minimalsave::Spelling spelling;
  spelling.charset = flags & 1 ? QStringLiteral("windows-1252") : QStringLiteral("UTF-8");
  spelling.crlf = flags & 2;
  // A CRLF file's markup has bare line feeds only: the engine's never holds a CR.
  if (spelling.crlf) before.remove(u'\r');
  QString after = edited(before, in);
  if (spelling.crlf) after.remove(u'\r');

  QString why;
  const auto stretches = minimalsave::stretches(before, after, &why);
  if (stretches) {
    QString rebuilt;
    qsizetype done = 0;
    for (const minimalsave::Stretch& s : *stretches) {
      FUZZ_CHECK(s.from >= done && s.to >= s.from && s.to <= before.size());
      rebuilt += QStringView(before).sliced(done, s.from - done);
      rebuilt += s.text;
      done = s.to;
    }
    rebuilt += QStringView(before).sliced(done);
    FUZZ_CHECK(rebuilt == after);
    if (before == after) FUZZ_CHECK(stretches->empty());
  }

  const std::optional<QByteArray> file = minimalsave::spell(before, spelling);
  const std::optional<QByteArray> wanted = minimalsave::spell(after, spelling);
  if (!file || !wanted) return 0;
  const minimalsave::Patch patch = minimalsave::patch(*file, before, after, spelling);
  if (patch.bytes) FUZZ_CHECK(*patch.bytes == *wanted);
  return 0;
}
