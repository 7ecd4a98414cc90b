#include "help/about_window.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "files/page_history.h"
#include "help/components.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"

frmAbout::frmAbout(const QString& version, QWidget* parent)
    : QDialog(parent), openFolder(&QDesktopServices::openUrl) {
  setObjectName(QStringLiteral("frmAbout"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About Quorvane"));

  auto* lblTitle = named(new QLabel(QStringLiteral("Quorvane"), this), "lblTitle");
  QFont big = lblTitle->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  lblTitle->setFont(big);
  lblVersion = named(new QLabel(QStringLiteral("Version %1").arg(version), this), "lblVersion");
  lblVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblLicence = named(
      new QLabel(QStringLiteral("Free software under the GNU General Public License, version 3 "
                                "or (at your option) any later version (%1). It comes with no "
                                "warranty. The full text is in /usr/share/doc/quorvane/LICENSE "
                                "and at https://www.gnu.org/licenses/gpl-3.0.html.")
                     .arg(QString::fromLatin1(components::kLicence)),
                 this),
      "lblLicence");
  lblLicence->setWordWrap(true);
  lblLicence->setTextFormat(Qt::PlainText);
  lblLicence->setTextInteractionFlags(Qt::TextSelectableByMouse);

  lstComponents = named(new QTreeWidget(this), "lstComponents");
  lstComponents->setHeaderLabels(
      {QStringLiteral("Component"), QStringLiteral("Used for"), QStringLiteral("Licence")});
  lstComponents->setRootIsDecorated(false);
  lstComponents->setToolTip(
      QStringLiteral("The components Quorvane is built on, and their "
                     "licences"));
  for (const Component& c : components::all())
    new QTreeWidgetItem(lstComponents, {c.name, c.use, c.licence});
  if (auto* qt = lstComponents->topLevelItem(0))
    qt->setText(0, qt->text(0) + QStringLiteral(" %1").arg(QString::fromLatin1(qVersion())));
  lstComponents->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

  lblDataFolder = named(new QLabel(QStringLiteral("Page history: %1\nSettings: %2")
                                       .arg(QDir::toNativeSeparators(dataFolder()),
                                            QDir::toNativeSeparators(settingsFolder())),
                                   this),
                        "lblDataFolder");
  lblDataFolder->setTextFormat(Qt::PlainText);
  lblDataFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cmdOpenFolder = named(new QPushButton(QStringLiteral("Open Data Folder"), this), "cmdOpenFolder");
  cmdOpenFolder->setToolTip(
      QStringLiteral("Open the folder of the page history in your file "
                     "manager"));
  cmdOpenFolder->setAutoDefault(false);
  cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
  cmdClose->setToolTip(QStringLiteral("Close this window (Esc)"));
  cmdClose->setDefault(true);
  connect(cmdOpenFolder, &QPushButton::clicked, this, &frmAbout::cmdOpenFolder_Click);
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

  auto* column = new QVBoxLayout(this);
  column->addWidget(lblTitle);
  column->addWidget(lblVersion);
  column->addWidget(lblLicence);
  column->addWidget(lstComponents, 1);
  column->addWidget(lblDataFolder);
  auto* row = new QHBoxLayout;
  row->addWidget(cmdOpenFolder);
  row->addStretch(1);
  row->addWidget(cmdClose);
  column->addLayout(row);
  setTabOrder(lstComponents, cmdOpenFolder);
  setTabOrder(cmdOpenFolder, cmdClose);
  resize(640, 520);
}

QString frmAbout::dataFolder() { return history::root(); }

QString frmAbout::settingsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Quorvane");
}

void frmAbout::cmdOpenFolder_Click() {
  const QString folder = dataFolder();
  // Nothing has been kept yet on a first run: the folder is made so that it
  // opens (it is the program's own).
  if (folder.isEmpty() || !QDir().mkpath(folder) || !openFolder ||
      !openFolder(QUrl::fromLocalFile(folder)))
    MsgBox(QStringLiteral("Could not open the folder %1.").arg(QDir::toNativeSeparators(folder)),
           MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("About Quorvane"), this);
}
