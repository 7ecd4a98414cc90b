// The minimal save: the changed stretches turn the old markup into the new
// one exactly, and a patch of a file that holds exactly the old markup is
// either refused or exactly the new markup's bytes, never a third page.
#include <vector>

#include "fuzz_input.h"
#include "text/minimal_save.h"

namespace {

// A few edits of the kind a user makes (type, delete, replace), read from the
// front of the input, so that the two versions share most of their text.
struct Edit {
  uint8_t kind = 0;
  uint16_t where = 0;
  uint8_t length = 0;
  QString typed;
};

std::vector<Edit> editsFrom(FuzzInput& in) {
  std::vector<Edit> edits(1 + in.byte() % 4);
  for (Edit& e : edits) {
    e.kind = in.byte();
    e.where = uint16_t(in.byte() << 8 | in.byte());
    e.length = in.byte() % 32;
    e.typed = QString::fromUtf8(in.piece(24));
  }
  return edits;
}

QString edited(QString text, const std::vector<Edit>& edits) {
  for (const Edit& e : edits) {
    const qsizetype at = e.where % (text.size() + 1);
    const qsizetype length = std::min<qsizetype>(e.length, text.size() - at);
    if (e.kind % 3 == 0)
      text.insert(at, e.typed);
    else if (e.kind % 3 == 1)
      text.remove(at, length);
    else
      text.replace(at, length, e.typed);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const std::vector<Edit> edits = editsFrom(in);
  QString before = QString::fromUtf8(in.rest());
  minimalsave::Spelling spelling;
  spelling.charset = flags & 1 ? QStringLiteral("windows-1252") : QStringLiteral("UTF-8");
  spelling.crlf = flags & 2;
  // A CRLF file's markup has bare line feeds only: the engine's never holds a CR.
  if (spelling.crlf) before.remove(u'\r');
  QString after = edited(before, edits);
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
