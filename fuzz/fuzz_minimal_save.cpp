// The minimal save: the changed stretches turn the old markup into the new
// one exactly, and a patch of a file that holds exactly the old markup is
// either refused or the new markup's page: its bytes, or a changed tag in the
// file's own spelling (order, quotes) with the same attributes.
#include <QList>
#include <algorithm>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "text/html_entities.h"
#include "text/markup_scan.h"
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

// A page as the browser reads it: its text as written, each tag's name and
// its attributes (lower-case name, value with references read) in any order.
class Reading final : public markupscan::Visitor {
 public:
  explicit Reading(QByteArrayView page) : page_(page) { markupscan::scan(page, *this); }
  QList<QString> parts;

  void tag(const markupscan::Tag& tag) override {
    std::vector<std::pair<QString, QString>> attributes;
    for (const markupscan::Attribute& a : tag.attributes)
      attributes.emplace_back(QString::fromLatin1(a.name).toLower(), read(a.value));
    std::sort(attributes.begin(), attributes.end());
    QString part =
        QString::fromLatin1(tag.closing ? "</" : "<") + QString::fromLatin1(tag.name).toLower();
    for (const auto& [name, value] : attributes) part += u' ' + name + u'=' + value + u'\x1f';
    parts.append(part);
  }
  void text(qsizetype from, qsizetype to) override { add(from, to); }
  void raw(const markupscan::Tag&, qsizetype from, qsizetype to) override { add(from, to); }
  void comment(qsizetype from, qsizetype to) override { add(from, to); }

 private:
  void add(qsizetype from, qsizetype to) {
    parts.append(QString::fromLatin1(page_.sliced(from, to - from)));
  }
  static QString read(QByteArrayView value) {
    const QString written = QString::fromLatin1(value);
    QString out;
    for (qsizetype i = 0; i < written.size();) {
      const htmlentities::Reference r =
          written[i] == u'&' ? htmlentities::decodeAt(written, i) : htmlentities::Reference{};
      if (r.length > 0) {
        out += QString::fromUcs4(&r.character, 1);
        i += r.length;
      } else {
        out += written[i++];
      }
    }
    return out;
  }
  QByteArrayView page_;
};

// Markup spelled as the engine spells it: every attribute a plain lower-case
// name, with its value in double quotes. The tag-aware save counts on it;
// other text can make two parsers read one tag differently.
class EngineSpelled final : public markupscan::Visitor {
 public:
  explicit EngineSpelled(QByteArrayView page) : page_(page) {
    markupscan::scan(page, *this);
    // The engine ends every tag: one left open takes the rest of the page.
    if (page.sliced(reached_).contains('<')) yes = false;
  }
  bool yes = true;
  void tag(const markupscan::Tag& tag) override {
    reached_ = std::max(reached_, tag.end);
    for (const char c : tag.name)
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) yes = false;
    for (const markupscan::Attribute& a : tag.attributes) {
      for (const char c : a.name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
          yes = false;
      if (a.valueAt > 0 && page_[a.valueAt - 1] != '"') yes = false;
    }
  }

  // The engine writes "<" and ">" in text as references; only a script or
  // a style holds them as they are.
  void text(qsizetype from, qsizetype to) override { plain(from, to); }
  // The engine closes every comment: one left open takes the rest of the page.
  void comment(qsizetype, qsizetype to) override {
    reached_ = std::max(reached_, to);
    if (to >= page_.size()) yes = false;
  }
  void raw(const markupscan::Tag& element, qsizetype from, qsizetype to) override {
    if (!element.is("script") && !element.is("style")) plain(from, to);
  }

 private:
  void plain(qsizetype from, qsizetype to) {
    reached_ = std::max(reached_, to);
    const QByteArrayView t = page_.sliced(from, to - from);
    if (t.contains('<') || t.contains('>')) yes = false;
  }
  QByteArrayView page_;
  qsizetype reached_ = 0;
};

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
  if (patch.bytes && *patch.bytes != *wanted && EngineSpelled(*file).yes &&
      EngineSpelled(*wanted).yes)
    FUZZ_CHECK(Reading(*patch.bytes).parts == Reading(*wanted).parts);
  return 0;
}
