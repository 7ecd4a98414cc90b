#include "editor/device_view.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

struct Named {
  DeviceView::Kind kind;
  const char* key;
  const char* name;
  int width;
  int height;
};

constexpr std::array<Named, 5> kNamed{{
    {DeviceView::Kind::Desktop, "desktop", "Desktop", 0, 0},
    {DeviceView::Kind::Phone, "phone", "Phone", 390, 844},
    {DeviceView::Kind::SmallPhone, "small-phone", "Small phone", 360, 640},
    {DeviceView::Kind::Tablet, "tablet", "Tablet", 820, 1180},
    {DeviceView::Kind::Custom, "custom", "Custom", 0, 0},
}};

const Named& named(DeviceView::Kind kind) {
  return *std::find_if(kNamed.begin(), kNamed.end(),
                       [kind](const Named& n) { return n.kind == kind; });
}

QString times(int w, int h) { return QStringLiteral("%1 \u00d7 %2").arg(w).arg(h); }

// A number as the viewport tag writes it; nullopt for anything else.
std::optional<double> number(const QString& text) {
  bool ok = false;
  const double v = text.toDouble(&ok);
  if (!ok || !std::isfinite(v) || v <= 0) return std::nullopt;
  return v;
}

}  // namespace

namespace deviceview {

DeviceView desktop() { return {}; }

DeviceView preset(DeviceView::Kind kind, int customWidth, int customHeight) {
  const Named& n = named(kind);
  if (kind == DeviceView::Kind::Custom)
    return {kind, std::clamp(customWidth, kMinSide, kMaxSide),
            std::clamp(customHeight, kMinSide, kMaxSide), false};
  return {kind, n.width, n.height, false};
}

QString name(DeviceView::Kind kind) {
  const Named& n = named(kind);
  const QString label = QString::fromLatin1(n.name);
  return n.width > 0 ? label + QLatin1Char(' ') + times(n.width, n.height) : label;
}

QString sizeText(const DeviceView& device) {
  if (device.desktop()) return {};
  const QSize s = device.screen();
  return times(s.width(), s.height());
}

int layoutWidth(const std::optional<QString>& viewportContent, int screenWidth) {
  int width = kUntaggedWidth;
  if (viewportContent) {
    std::optional<double> given;
    std::optional<double> initialScale;
    // Browsers take commas, semicolons and blanks between the pairs.
    static const QRegularExpression pairs(QStringLiteral("[,;]"));
    for (const QString& pair : viewportContent->split(pairs, Qt::SkipEmptyParts)) {
      const qsizetype eq = pair.indexOf(QLatin1Char('='));
      if (eq < 0) continue;
      const QString name = pair.left(eq).trimmed().toLower();
      const QString value = pair.mid(eq + 1).trimmed().toLower();
      if (name == u"width")
        given = value == u"device-width" ? std::optional<double>(screenWidth) : number(value);
      else if (name == u"initial-scale")
        initialScale = number(value);
    }
    // Shown at most as wide as the screen, a page is zoomed by shown / width,
    // which the engine holds within its range; held as a double first, so a
    // page's huge number never overflows.
    const double widest = std::floor(screenWidth / kMinZoom);
    const double narrowest = std::max(1.0, std::ceil(screenWidth / kMaxZoom));
    if (given)
      width = static_cast<int>(std::lround(std::clamp(*given, narrowest, widest)));
    else if (initialScale)
      width =
          static_cast<int>(std::lround(std::clamp(screenWidth / *initialScale, narrowest, widest)));
  }
  return width;
}

Fit fit(QSize screen, QSize area, int layoutWidth) {
  Fit f;
  if (screen.isEmpty() || area.isEmpty() || layoutWidth <= 0) return f;
  double scale = std::min(
      {1.0, double(area.width()) / screen.width(), double(area.height()) / screen.height()});
  // Scaled further, the page would need a zoom below the engine's least.
  scale = std::max(scale, kMinZoom * layoutWidth / screen.width());
  const int w = std::max(1, static_cast<int>(std::lround(screen.width() * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(screen.height() * scale)));
  f.scale = scale;
  f.shown = QSize(w, h);
  // From the whole width shown, so the page sees exactly layoutWidth across.
  f.zoom = std::clamp(double(w) / layoutWidth, kMinZoom, kMaxZoom);
  return f;
}

QString userAgent(const QString& desktopAgent, const DeviceView& device) {
  if (device.desktop()) return desktopAgent;
  // Pages tell phones from tablets by "Mobile" and both from desktops by the
  // platform in the first parentheses.
  QString agent = desktopAgent;
  const qsizetype open = agent.indexOf(QLatin1Char('('));
  const qsizetype close = agent.indexOf(QLatin1Char(')'), open);
  const QString platform = device.tablet() ? QStringLiteral("Linux; Android 13; Tablet")
                                           : QStringLiteral("Linux; Android 13; Phone");
  if (open >= 0 && close > open) agent.replace(open + 1, close - open - 1, platform);
  const qsizetype safari = agent.lastIndexOf(QLatin1String(" Safari/"));
  if (!device.tablet() && !agent.contains(QLatin1String(" Mobile")) && safari >= 0)
    agent.insert(safari, QLatin1String(" Mobile"));
  return agent;
}

QString key(DeviceView::Kind kind) { return QString::fromLatin1(named(kind).key); }

DeviceView::Kind kindOf(const QString& key) {
  for (const Named& n : kNamed)
    if (key == QLatin1String(n.key)) return n.kind;
  return DeviceView::Kind::Desktop;
}

}  // namespace deviceview
