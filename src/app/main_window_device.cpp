// The device views of the preview, chosen in the row under the shortcuts
// panel and by Ctrl+Shift+M, and kept between runs. The browser's editing
// state holds the device; these controls only ask it and tell it.
#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardPaths>

#include "app/main_window.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "files/v_file.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/twips.h"

namespace {

using Kind = DeviceView::Kind;

constexpr Kind kKinds[] = {Kind::Desktop, Kind::Phone, Kind::SmallPhone, Kind::Tablet,
                           Kind::Custom};

QString settingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Quorvane/preview.ini");
}

}  // namespace

void Form2::setUpDevice() {
  cboDevice = named(new QComboBox(this), "cboDevice");
  for (Kind k : kKinds) cboDevice->addItem(deviceview::name(k), deviceview::key(k));
  cboDevice->setToolTip(
      QStringLiteral("See the page as a phone or a tablet shows it (Ctrl+Shift+M)"));
  twips::place(cboDevice, 405, 10395, 2700, 315);
  cmdRotate = named(new QPushButton(QStringLiteral("Rotate"), this), "cmdRotate");
  twips::place(cmdRotate, 3205, 10395, 900, 315);
  txtDeviceWidth = named(new QLineEdit(this), "txtDeviceWidth");
  txtDeviceHeight = named(new QLineEdit(this), "txtDeviceHeight");
  for (QLineEdit* t : {txtDeviceWidth, txtDeviceHeight}) {
    t->setValidator(new QIntValidator(deviceview::kMinSide, deviceview::kMaxSide, t));
    connect(t, &QLineEdit::editingFinished, this, &Form2::txtDevice_Change);
  }
  txtDeviceWidth->setToolTip(QStringLiteral("Screen width in CSS pixels"));
  txtDeviceHeight->setToolTip(QStringLiteral("Screen height in CSS pixels"));
  twips::place(txtDeviceWidth, 4205, 10395, 700, 315);
  twips::place(txtDeviceHeight, 5005, 10395, 700, 315);
  lblDeviceSize = named(new QLabel(this), "lblDeviceSize");
  twips::place(lblDeviceSize, 5805, 10440, 1300, 240);
  lblDeviceScale = named(new QLabel(this), "lblDeviceScale");
  lblDeviceScale->setToolTip(QStringLiteral("The screen is shown at this size to fit the window"));
  twips::place(lblDeviceScale, 7105, 10440, 800, 240);
  cmdSavePicture =
      named(new QPushButton(QStringLiteral("Save Picture\u2026"), this), "cmdSavePicture");
  cmdSavePicture->setToolTip(QStringLiteral("Save the whole page as a PNG picture, as shown"));
  twips::place(cmdSavePicture, 8005, 10395, 1700, 315);

  connect(cboDevice, &QComboBox::activated, this, &Form2::cboDevice_Click);
  connect(cmdRotate, &QPushButton::clicked, this, &Form2::cmdRotate_Click);
  connect(cmdSavePicture, &QPushButton::clicked, this, &Form2::cmdSavePicture_Click);
  connect(WebBrowser1, &WebBrowser::DeviceShown, this, &Form2::showDevice);

  // The last run's choice; a damaged file gives the desktop and kept limits.
  const QSettings s(settingsFile(), QSettings::IniFormat);
  customWidth_ = s.value(QStringLiteral("device/customWidth"), 390).toInt();
  customHeight_ = s.value(QStringLiteral("device/customHeight"), 844).toInt();
  const Kind last = deviceview::kindOf(s.value(QStringLiteral("device/last")).toString());
  lastDevice_ =
      deviceview::preset(last == Kind::Desktop ? Kind::Phone : last, customWidth_, customHeight_);
  lastDevice_.rotated = s.value(QStringLiteral("device/lastRotated")).toBool();
  DeviceView d =
      deviceview::preset(deviceview::kindOf(s.value(QStringLiteral("device/kind")).toString()),
                         customWidth_, customHeight_);
  d.rotated = !d.desktop() && s.value(QStringLiteral("device/rotated")).toBool();
  WebBrowser1->state()->setDevice(d);
  showDevice();
}

void Form2::setDevice(DeviceView device) {
  if (!device.desktop()) lastDevice_ = device;
  if (device.kind == Kind::Custom) {
    customWidth_ = device.width;
    customHeight_ = device.height;
  }
  WebBrowser1->state()->setDevice(device);
  QSettings s(settingsFile(), QSettings::IniFormat);
  s.setValue(QStringLiteral("device/kind"), deviceview::key(device.kind));
  s.setValue(QStringLiteral("device/rotated"), device.rotated);
  s.setValue(QStringLiteral("device/last"), deviceview::key(lastDevice_.kind));
  s.setValue(QStringLiteral("device/lastRotated"), lastDevice_.rotated);
  s.setValue(QStringLiteral("device/customWidth"), customWidth_);
  s.setValue(QStringLiteral("device/customHeight"), customHeight_);
  s.sync();
  showDevice();
}

void Form2::cboDevice_Click(int index) {
  const Kind kind = deviceview::kindOf(cboDevice->itemData(index).toString());
  DeviceView d = deviceview::preset(kind, customWidth_, customHeight_);
  // A new device keeps the way the user holds it.
  d.rotated = !d.desktop() && WebBrowser1->state()->device().rotated;
  setDevice(d);
}

void Form2::cmdRotate_Click() {
  DeviceView d = WebBrowser1->state()->device();
  if (d.desktop()) return;
  d.rotated = !d.rotated;
  setDevice(d);
}

void Form2::txtDevice_Change() {
  const DeviceView now = WebBrowser1->state()->device();
  if (now.kind != Kind::Custom) return;
  // Typed as the screen stands; kept as its portrait sides.
  int w = txtDeviceWidth->text().toInt();
  int h = txtDeviceHeight->text().toInt();
  if (now.rotated) std::swap(w, h);
  DeviceView d = deviceview::preset(Kind::Custom, w, h);
  d.rotated = now.rotated;
  setDevice(d);
}

void Form2::toggleDevice() {
  const DeviceView now = WebBrowser1->state()->device();
  setDevice(now.desktop() ? lastDevice_ : deviceview::desktop());
}

void Form2::showDevice() {
  const DeviceView d = WebBrowser1->state()->device();
  {
    const QSignalBlocker quiet(cboDevice);
    cboDevice->setCurrentIndex(cboDevice->findData(deviceview::key(d.kind)));
  }
  cmdRotate->setEnabled(!d.desktop());
  const bool custom = d.kind == Kind::Custom;
  txtDeviceWidth->setVisible(custom);
  txtDeviceHeight->setVisible(custom);
  if (custom) {
    txtDeviceWidth->setText(QString::number(d.screen().width()));
    txtDeviceHeight->setText(QString::number(d.screen().height()));
  }
  lblDeviceSize->setText(deviceview::sizeText(d));
  lblDeviceScale->setText(
      d.desktop() ? QString()
                  : QStringLiteral("%1 %").arg(qRound(WebBrowser1->deviceFit().scale * 100)));
}

void Form2::cmdSavePicture_Click() {
  if (!WebBrowser1->state()->documentOk()) {
    MsgBox(QStringLiteral("Please add a page before."), MsgButtons::OkOnly, MsgIcon::Information,
           QStringLiteral("Missing Info"), this);
    return;
  }
  const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture"), {},
                                                    QStringLiteral("PNG picture (*.png)"));
  if (file.isEmpty()) return;
  savePictureTo(file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
                    ? file
                    : file + QStringLiteral(".png"));
}

void Form2::savePictureTo(const QString& file) {
  QPointer<Form2> self(this);
  WebBrowser1->takePicture([self, file](const QImage& picture) {
    if (!self) return;
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
      MsgBox(QStringLiteral("Could not take a picture of the page."), MsgButtons::OkOnly,
             MsgIcon::Information, QStringLiteral("Save Picture"), self);
      return;
    }
    if (const Status saved = vFile::SaveBytes(png, file); !saved)
      MsgBox(QStringLiteral("Could not save %1: %2").arg(QFileInfo(file).fileName(), saved.why()),
             MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Save Picture"), self);
  });
}
