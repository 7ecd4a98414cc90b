#include "text/page_check_payments.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

namespace pagecheck {

namespace {

struct Address final {
  QString host;  // lower case, without "www."
  QStringList path;
  QUrlQuery query;
  bool web = false;
};

Address parse(const QString& text) {
  Address a;
  const QUrl url(text.trimmed());
  const QString scheme = url.scheme().toLower();
  // "//host/..." is a web address too; anything else (relative, mailto) is not.
  if (!url.isValid() || url.host().isEmpty() ||
      !(scheme.isEmpty() || scheme == u"http" || scheme == u"https"))
    return a;
  a.web = true;
  a.host = url.host().toLower();
  if (a.host.startsWith(u"www.")) a.host = a.host.mid(4);
  a.path = url.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);
  a.query = QUrlQuery(url);
  return a;
}

QString queryValue(const Address& a, const QString& name) {
  // Keys are matched without regard to case: "Business=" works at PayPal.
  for (const auto& [key, value] : a.query.queryItems(QUrl::FullyDecoded))
    if (key.compare(name, Qt::CaseInsensitive) == 0) return value.trimmed();
  return {};
}

bool isHost(const Address& a, const QString& domain) {
  return a.host == domain || a.host.endsWith(u'.' + domain);
}

// The labels of host in front of domain: "aff.vendor" of "aff.vendor.hop.clickbank.net".
QStringList labelsBefore(const Address& a, const QString& domain) {
  if (a.host.size() <= domain.size()) return {};
  return a.host.chopped(domain.size() + 1).split(u'.', Qt::SkipEmptyParts);
}

QString segment(const Address& a, int i) { return a.path.value(i); }

std::optional<Payment> payPal(const Address& a) {
  if (isHost(a, QStringLiteral("paypal.me"))) {
    if (a.path.isEmpty()) return std::nullopt;
    return Payment{QStringLiteral("PayPal.Me"), segment(a, 0)};
  }
  if (segment(a, 0).compare(u"paypalme", Qt::CaseInsensitive) == 0 && a.path.size() > 1)
    return Payment{QStringLiteral("PayPal.Me"), segment(a, 1)};
  if (const QString business = queryValue(a, QStringLiteral("business")); !business.isEmpty())
    return Payment{QStringLiteral("PayPal"), business};
  if (const QString button = queryValue(a, QStringLiteral("hosted_button_id")); !button.isEmpty())
    return Payment{QStringLiteral("PayPal button"), button};
  if (segment(a, 0) == u"ncp" && segment(a, 1) == u"payment" && a.path.size() > 2)
    return Payment{QStringLiteral("PayPal payment link"), segment(a, 2)};
  const QString path = a.path.join(u'/').toLower();
  if (path.contains(u"webscr") || path.startsWith(u"donate") || path.startsWith(u"cgi-bin"))
    return Payment{QStringLiteral("PayPal"), {}};
  return std::nullopt;
}

std::optional<Payment> clickBank(const Address& a) {
  if (isHost(a, QStringLiteral("hop.clickbank.net"))) {
    // affiliate.vendor.hop.clickbank.net, or ?affiliate=…&vendor=…
    const QStringList labels = labelsBefore(a, QStringLiteral("hop.clickbank.net"));
    QString affiliate = labels.size() >= 2 ? labels.first() : QString();
    if (affiliate.isEmpty()) affiliate = queryValue(a, QStringLiteral("affiliate"));
    return Payment{QStringLiteral("ClickBank hoplink"), affiliate};
  }
  if (isHost(a, QStringLiteral("pay.clickbank.net"))) {
    // item.vendor.pay.clickbank.net: the order goes to the vendor.
    const QStringList labels = labelsBefore(a, QStringLiteral("pay.clickbank.net"));
    return Payment{QStringLiteral("ClickBank order link"),
                   labels.isEmpty() ? QString() : labels.last()};
  }
  return std::nullopt;
}

std::optional<Payment> others(const Address& a) {
  static const QRegularExpression jvzShort(QStringLiteral("^jvz[0-9]+\\.com$"));
  if (isHost(a, QStringLiteral("jvzoo.com")) || jvzShort.match(a.host).hasMatch()) {
    if (segment(a, 0) == u"b" && a.path.size() > 1)
      return Payment{QStringLiteral("JVZoo product"), segment(a, 1)};
    if (segment(a, 0) == u"c" && a.path.size() > 1)
      return Payment{QStringLiteral("JVZoo affiliate"), segment(a, 1)};
    return std::nullopt;
  }
  if (isHost(a, QStringLiteral("warriorplus.com")) || isHost(a, QStringLiteral("warriorpl.us"))) {
    if (segment(a, 0) != u"o2" || a.path.size() < 3) return std::nullopt;
    return Payment{segment(a, 1) == u"a" ? QStringLiteral("WarriorPlus affiliate")
                                         : QStringLiteral("WarriorPlus offer"),
                   segment(a, 2)};
  }
  if (isHost(a, QStringLiteral("gumroad.com")) || a.host == u"gum.co") {
    if (a.host == u"gum.co")
      return a.path.isEmpty()
                 ? std::nullopt
                 : std::optional(Payment{QStringLiteral("Gumroad product"), segment(a, 0)});
    if (segment(a, 0) == u"l" && a.path.size() > 1)
      return Payment{QStringLiteral("Gumroad product"), segment(a, 1)};
    if (segment(a, 0) == u"a" && a.path.size() > 1)
      return Payment{QStringLiteral("Gumroad affiliate"), segment(a, 1)};
    const QStringList labels = labelsBefore(a, QStringLiteral("gumroad.com"));
    if (labels.size() == 1 && labels.first() != u"app" && labels.first() != u"help")
      return Payment{QStringLiteral("Gumroad"), labels.first()};
    return std::nullopt;
  }
  if (a.host == u"buy.stripe.com" && !a.path.isEmpty())
    return Payment{QStringLiteral("Stripe payment link"), segment(a, 0)};
  if (isHost(a, QStringLiteral("digistore24.com"))) {
    if (const QString aff = queryValue(a, QStringLiteral("aff")); !aff.isEmpty())
      return Payment{QStringLiteral("Digistore24 affiliate"), aff};
    if (segment(a, 0) == u"redir" && a.path.size() > 2)
      return Payment{QStringLiteral("Digistore24 affiliate"), segment(a, 2)};
    if (segment(a, 0) == u"product" && a.path.size() > 1)
      return Payment{QStringLiteral("Digistore24 product"), segment(a, 1)};
    return std::nullopt;
  }
  if (a.host == u"payhip.com" && segment(a, 0) == u"b" && a.path.size() > 1)
    return Payment{QStringLiteral("Payhip product"), segment(a, 1)};
  if (a.host == u"ko-fi.com" && !a.path.isEmpty())
    return Payment{QStringLiteral("Ko-fi"), segment(a, 0)};
  if (a.host == u"buymeacoffee.com" && !a.path.isEmpty())
    return Payment{QStringLiteral("Buy Me a Coffee"), segment(a, 0)};
  if (isHost(a, QStringLiteral("lemonsqueezy.com")) && segment(a, 0) == u"checkout") {
    const QStringList labels = labelsBefore(a, QStringLiteral("lemonsqueezy.com"));
    return Payment{QStringLiteral("Lemon Squeezy store"), labels.value(0)};
  }
  static const QRegularExpression amazon(QStringLiteral("(^|\\.)amazon\\.[a-z.]+$"));
  if (amazon.match(a.host).hasMatch()) {
    const QString tag = queryValue(a, QStringLiteral("tag"));
    if (!tag.isEmpty()) return Payment{QStringLiteral("Amazon associate"), tag};
  }
  return std::nullopt;
}

}  // namespace

std::optional<Payment> paymentOf(const QString& address) {
  const Address a = parse(address);
  if (!a.web) return std::nullopt;
  if (isHost(a, QStringLiteral("paypal.com")) || isHost(a, QStringLiteral("paypal.me")))
    return payPal(a);
  if (auto p = clickBank(a)) return p;
  return others(a);
}

std::optional<Payment> paymentOfForm(const QString& action, const QHash<QString, QString>& fields) {
  const Address a = parse(action);
  if (!a.web || !isHost(a, QStringLiteral("paypal.com"))) return std::nullopt;
  if (const QString business = fields.value(QStringLiteral("business")).trimmed();
      !business.isEmpty())
    return Payment{QStringLiteral("PayPal"), business};
  if (const QString button = fields.value(QStringLiteral("hosted_button_id")).trimmed();
      !button.isEmpty())
    return Payment{QStringLiteral("PayPal button"), button};
  return payPal(a);
}

QString describe(const Payment& payment) {
  if (payment.account.isEmpty())
    return QStringLiteral("%1 (the link does not name the account)").arg(payment.service);
  return payment.service + u' ' + payment.account;
}

}  // namespace pagecheck
