#include "text/page_check.h"

#include <QHash>
#include <algorithm>
#include <optional>

#include "text/markup_scan.h"
#include "text/page_check_payments.h"
#include "text/page_check_placeholders.h"
#include "text/page_references.h"

namespace pagecheck {

namespace {

// Elements whose src (or data, poster, background) the browser loads as part
// of the page; a link's href is only followed on a click.
bool loadsAsResource(const pagerefs::Reference& r, bool styleOrIconLink) {
  if (r.source == pagerefs::Source::Style) return true;
  if (r.attribute == "href") return r.element == "link" && styleOrIconLink;
  return r.element != "a" && r.element != "area";
}

bool isWebAddress(const QString& v) {
  return v.startsWith(u"http://", Qt::CaseInsensitive) ||
         v.startsWith(u"https://", Qt::CaseInsensitive) || v.startsWith(u"//");
}

bool isPagePath(const QString& path) {
  return path.endsWith(u".html", Qt::CaseInsensitive) ||
         path.endsWith(u".htm", Qt::CaseInsensitive);
}

// A value the page maker meant to be replaced ("[BUYLINK]", "{{url}}") is
// reported as a placeholder, not as a missing file.
bool looksLikePlaceholder(const QString& v) {
  for (const QChar c : v)
    if (c == u'[' || c == u']' || c == u'{' || c == u'}' || c == u'<' || c == u'>') return true;
  return v.contains(u"%%");
}

// Attributes whose text is never shown nor followed: names for scripts and styles.
bool skipsPlaceholders(const markupscan::Attribute& a) {
  if (a.name.size() > 2 && markupscan::equalsNoCase(a.name.first(2), "on")) return true;
  return a.is("class") || a.is("id") || a.is("style");
}

class Checker final : public markupscan::Visitor {
 public:
  Checker(QByteArrayView bytes, const Identities& mine, FileFindings& out)
      : bytes_(bytes), mine_(mine), out_(out), lines_(bytes) {}

  void tag(const markupscan::Tag& tag) override {
    inTitle_ = false;
    if (tag.is("form")) finishForm();
    if (tag.closing) return;
    if (tag.is("title")) {
      titleSeen_ = inTitle_ = true;
    } else if (tag.is("img") && !tag.attribute("alt")) {
      const auto* src = tag.attribute("src");
      add(Severity::Note, Kind::NoAlt, tag.start,
          src ? QStringLiteral("image %1 has no alt text").arg(pagerefs::attributeText(src->value))
              : QStringLiteral("an image has no alt text"),
          src ? Locator{QStringLiteral("src"), pagerefs::attributeText(src->value), {}}
              : Locator{});
    }
    placeholdersIn(tag);
    payments(tag);

    bool styleOrIcon = false;
    if (tag.is("link"))
      if (const auto* rel = tag.attribute("rel")) {
        const QString r = pagerefs::attributeText(rel->value).toLower();
        styleOrIcon = r.contains(u"stylesheet") || r.contains(u"icon");
        styleLink_ = r.contains(u"stylesheet");
      }
    refs_.clear();
    pagerefs::appendFromTag(tag, pagerefs::Source::Markup, refs_);
    for (const pagerefs::Reference& r : std::as_const(refs_)) use(r, styleOrIcon);
    styleLink_ = false;
  }

  void text(qsizetype from, qsizetype to) override {
    if (inTitle_)
      for (qsizetype i = from; i < to && !titleText_; ++i)
        titleText_ = !QChar::isSpace(uchar(bytes_[i]));
    found_.clear();
    findPlaceholders(bytes_, from, to, found_);
    for (const Placeholder& p : std::as_const(found_))
      add(Severity::Warning, Kind::Placeholder, p.at, leftover(p.found), Locator{{}, {}, p.found});
  }

  void raw(const markupscan::Tag& element, qsizetype from, qsizetype to) override {
    if (!element.is("style")) return;
    refs_.clear();
    pagerefs::appendFromStyle(bytes_, from, to, pagerefs::Source::Style, refs_, "style");
    for (const pagerefs::Reference& r : std::as_const(refs_)) use(r, false);
  }

  void finish(bool page) {
    finishForm();
    if (page && !titleText_)
      add(Severity::Warning, Kind::NoTitle, -1,
          titleSeen_ ? QStringLiteral("the title is empty")
                     : QStringLiteral("the page has no title: search results and tabs show none"),
          {});
  }

  // A reference the page makes: a web address to ask, a local file to look for.
  void use(const pagerefs::Reference& r, bool styleOrIconLink) {
    const QString& v = r.value;
    if (v.isEmpty() || v.startsWith(u'#')) return;
    const Locator where =
        r.source == pagerefs::Source::Style && r.element != "style" && !r.element.isEmpty()
            ? Locator{QStringLiteral("style"), r.attributeValue, {}}
        : r.element.isEmpty() || r.element == "style"
            ? Locator{}
            : Locator{QString::fromLatin1(r.attribute), r.attributeValue, {}};
    if (isWebAddress(v)) {
      QString address = v.startsWith(u"//") ? QStringLiteral("https:") + v : v;
      if (const qsizetype hash = address.indexOf(u'#'); hash >= 0) address.truncate(hash);
      out_.web.append({address, lines_.lineAt(r.at), where});
      if (v.startsWith(u"http://", Qt::CaseInsensitive) && loadsAsResource(r, styleOrIconLink))
        add(Severity::Warning, Kind::HttpResource, r.at,
            QStringLiteral("%1 is loaded over http://: once the site is served over https, "
                           "browsers block it")
                .arg(v),
            where);
      return;
    }
    if (looksLikePlaceholder(v)) return;
    const QString path = pagerefs::relativeFile(v);
    if (path.isEmpty()) return;
    LocalUse local;
    local.path = path;
    local.reference = v;
    local.line = lines_.lineAt(r.at);
    local.styleSheet = r.attribute == "@import" || styleLink_ ||
                       (r.element == "link" && path.endsWith(u".css", Qt::CaseInsensitive));
    local.page = r.attribute == "href" && isPagePath(path);
    local.where = where;
    out_.locals.append(std::move(local));
  }

 private:
  static QString leftover(const QString& found) {
    return QStringLiteral("\"%1\" was left for you to replace").arg(found);
  }

  void add(Severity s, Kind k, qsizetype at, const QString& detail, const Locator& where) {
    Problem p;
    p.line = at < 0 ? 0 : lines_.lineAt(at);
    p.severity = s;
    p.kind = k;
    p.detail = detail;
    p.where = where;
    out_.problems.append(std::move(p));
  }

  void placeholdersIn(const markupscan::Tag& tag) {
    for (const markupscan::Attribute& a : tag.attributes) {
      if (a.value.isEmpty() || skipsPlaceholders(a)) continue;
      found_.clear();
      findPlaceholders(bytes_, a.valueAt, a.valueAt + a.value.size(), found_);
      for (const Placeholder& p : std::as_const(found_))
        add(Severity::Warning, Kind::Placeholder, p.at, leftover(p.found),
            Locator{a.name.toByteArray().toLower(), pagerefs::attributeText(a.value), {}});
    }
  }

  void payments(const markupscan::Tag& tag) {
    if (tag.is("a") || tag.is("area")) {
      if (const auto* href = tag.attribute("href")) {
        const QString address = pagerefs::attributeText(href->value);
        if (const auto p = paymentOf(address))
          pays(*p, href->valueAt, Locator{QStringLiteral("href"), address, {}});
      }
    } else if (tag.is("form")) {
      const auto* action = tag.attribute("action");
      form_ =
          OpenForm{action ? pagerefs::attributeText(action->value) : QString(), tag.start, {}, {}};
    } else if (form_ && (tag.is("input") || tag.is("button"))) {
      const auto* name = tag.attribute("name");
      const auto* value = tag.attribute("value");
      if (!name || !value) return;
      const QString key = pagerefs::attributeText(name->value).trimmed().toLower();
      if (form_->fields.contains(key)) return;
      form_->fields.insert(key, pagerefs::attributeText(value->value));
      form_->fieldAt.insert(key, value->valueAt);
    }
  }

  void finishForm() {
    if (!form_) return;
    const OpenForm form = *std::exchange(form_, std::nullopt);
    auto p = paymentOfForm(form.action, form.fields);
    if (!p) p = paymentOf(form.action);
    if (!p) return;
    // The place to show is the field naming the account, if the form has one.
    for (const char* field : {"business", "hosted_button_id"}) {
      const QString key = QString::fromLatin1(field);
      if (form.fields.value(key).trimmed() == p->account && form.fieldAt.contains(key)) {
        pays(*p, form.fieldAt.value(key),
             Locator{QStringLiteral("value"), form.fields.value(key), {}});
        return;
      }
    }
    pays(*p, form.at, Locator{QStringLiteral("action"), form.action, {}});
  }

  void pays(const Payment& p, qsizetype at, const Locator& where) {
    if (mine_.isEmpty()) {
      add(Severity::Note, Kind::PaymentLink, at, QStringLiteral("pays %1").arg(describe(p)), where);
      return;
    }
    if (!p.account.isEmpty() && mine_.contains(p.account)) return;
    add(Severity::Error, Kind::ForeignPayment, at,
        p.account.isEmpty() ? QStringLiteral("%1: check that it pays you").arg(describe(p))
                            : QStringLiteral("%1 is not one of your accounts").arg(describe(p)),
        where);
  }

  struct OpenForm {
    QString action;
    qsizetype at = 0;
    QHash<QString, QString> fields;
    QHash<QString, qsizetype> fieldAt;
  };

  QByteArrayView bytes_;
  const Identities& mine_;
  FileFindings& out_;
  LineIndex lines_;
  QList<pagerefs::Reference> refs_;
  QList<Placeholder> found_;
  std::optional<OpenForm> form_;
  bool titleSeen_ = false;
  bool titleText_ = false;
  bool inTitle_ = false;
  bool styleLink_ = false;
};

}  // namespace

QString kindText(Kind kind) {
  switch (kind) {
    case Kind::MissingFile:
      return QStringLiteral("missing file");
    case Kind::LetterCase:
      return QStringLiteral("letter case differs");
    case Kind::CaseTwins:
      return QStringLiteral("names differ only in case");
    case Kind::Placeholder:
      return QStringLiteral("leftover placeholder");
    case Kind::PaymentLink:
      return QStringLiteral("payment link");
    case Kind::ForeignPayment:
      return QStringLiteral("payment link not yours");
    case Kind::NoTitle:
      return QStringLiteral("no title");
    case Kind::NoAlt:
      return QStringLiteral("image without alt");
    case Kind::OutsideFolders:
      return QStringLiteral("outside the pages' folders");
    case Kind::HttpResource:
      return QStringLiteral("http:// resource");
    case Kind::BrokenWebLink:
      return QStringLiteral("broken web link");
    case Kind::StyleSheetCycle:
      return QStringLiteral("style sheet imports itself");
    case Kind::NotChecked:
      return QStringLiteral("not checked");
  }
  return {};
}

QString severityText(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return QStringLiteral("Error");
    case Severity::Warning:
      return QStringLiteral("Warning");
    case Severity::Note:
      return QStringLiteral("Note");
  }
  return {};
}

Identities::Identities(const QString& typed) {
  for (const QString& part : typed.split(u',', Qt::SkipEmptyParts)) {
    const QString id = part.trimmed().toLower();
    if (!id.isEmpty()) ids_ << id;
  }
}

bool Identities::contains(const QString& account) const {
  return ids_.contains(account.trimmed().toLower());
}

FileFindings checkPage(QByteArrayView page, const Identities& mine) {
  FileFindings out;
  Checker checker(page, mine, out);
  markupscan::scan(page, checker);
  checker.finish(true);
  return out;
}

FileFindings checkStyleSheet(QByteArrayView css) {
  FileFindings out;
  Checker checker(css, Identities(), out);
  for (const pagerefs::Reference& r : pagerefs::inStyleSheet(css)) checker.use(r, false);
  return out;
}

LineIndex::LineIndex(QByteArrayView bytes) {
  starts_.append(0);
  const char end = bytes.contains('\n') ? '\n' : '\r';
  for (qsizetype i = bytes.indexOf(end); i >= 0; i = bytes.indexOf(end, i + 1))
    starts_.append(i + 1);
}

int LineIndex::lineAt(qsizetype offset) const {
  return int(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin());
}

}  // namespace pagecheck
