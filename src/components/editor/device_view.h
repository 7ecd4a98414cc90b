#pragma once

#include <QSize>
#include <QString>
#include <optional>

// The screen a page is laid out for: the desktop (the preview's own size), or
// a phone's or tablet's, in CSS pixels. Pure values; the browser shows them.
struct DeviceView final {
  enum class Kind { Desktop, Phone, SmallPhone, Tablet, Custom };

  Kind kind = Kind::Desktop;
  // Portrait size in CSS pixels; 0 × 0 for the desktop.
  int width = 0;
  int height = 0;
  bool rotated = false;

  bool desktop() const { return kind == Kind::Desktop; }
  bool tablet() const { return kind == Kind::Tablet; }
  // The screen as it stands now: rotation swaps its sides.
  QSize screen() const { return rotated ? QSize(height, width) : QSize(width, height); }
  bool operator==(const DeviceView&) const = default;
};

namespace deviceview {

// Sides a custom screen may have: a narrower one shows nothing a phone would,
// a larger one only costs memory.
constexpr int kMinSide = 200;
constexpr int kMaxSide = 4000;
// What phones lay a page out at when it does not say (no viewport tag).
constexpr int kUntaggedWidth = 980;
// The engine's zoom range: a page is never shown smaller than this.
constexpr double kMinZoom = 0.25;
constexpr double kMaxZoom = 5.0;

DeviceView desktop();
// One of the named screens; Custom gets the sides given, held within limits.
DeviceView preset(DeviceView::Kind kind, int customWidth = 0, int customHeight = 0);
// The names in cboDevice, in its order ("Phone 390 × 844").
QString name(DeviceView::Kind kind);
// "390 × 844", as the screen stands (rotated or not); empty for the desktop.
QString sizeText(const DeviceView& device);

// The CSS width a phone lays a page out at, from its viewport tag's content
// (nullopt: the page has no viewport tag). width=device-width gives the
// screen's width, width=N gives N, initial-scale alone the screen's width
// over it; no tag, or one that sets neither, gives 980. Held within the
// width the engine's zoom range can show on this screen.
int layoutWidth(const std::optional<QString>& viewportContent, int screenWidth);

// How the screen is shown in an area of the preview, in device pixels of
// the window: never larger than life, scaled down to fit, but no further
// than the engine can zoom a page of layoutWidth: the screen is then larger
// than the area, and what does not fit is cut off where it is shown.
struct Fit final {
  double scale = 1.0;  // shown pixels per CSS pixel of the screen
  QSize shown;         // the view's size in the window
  double zoom = 1.0;   // the page's zoom, so it sees layoutWidth across
};
Fit fit(QSize screen, QSize area, int layoutWidth);

// The user agent a page is told on the device, made from the engine's own:
// the platform an Android phone's or tablet's, "Mobile" on phones.
QString userAgent(const QString& desktopAgent, const DeviceView& device);

// How the choice is kept between runs ("phone", "tablet", ...), and read back;
// an unknown word reads as the desktop.
QString key(DeviceView::Kind kind);
DeviceView::Kind kindOf(const QString& key);

}  // namespace deviceview
