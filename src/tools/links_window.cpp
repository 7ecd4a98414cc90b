#include "tools/links_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/document_ops.h"
#include "editor/web_browser.h"
#include "tools/link_window.h"
#include "widgets/tips.h"

frmLinks::frmLinks(WebBrowser* browser, QWidget* parent)
    : QDialog(parent),
      browser_(browser),
      folder_(QFileInfo(browser->LocationPath()).absolutePath()) {
  setObjectName(QStringLiteral("frmLinks"));
  setWindowTitle(QStringLiteral("Links on This Page"));
  lstLinks = new QListWidget(this);
  lstLinks->setObjectName(QStringLiteral("lstLinks"));
  lstLinks->setMinimumSize(480, 240);
  txtNewUrl = new QLineEdit(this);
  txtNewUrl->setObjectName(QStringLiteral("txtNewUrl"));
  txtNewUrl->setPlaceholderText(QStringLiteral("The new address for the links chosen above"));
  cmdReplaceUrl = new QPushButton(QStringLiteral("Change Address"), this);
  cmdReplaceUrl->setObjectName(QStringLiteral("cmdReplaceUrl"));
  cmdReplaceUrl->setEnabled(false);
  cmdClose = new QPushButton(QStringLiteral("Close"), this);
  cmdClose->setObjectName(QStringLiteral("cmdClose"));
  connect(lstLinks, &QListWidget::currentRowChanged, this, &frmLinks::lstLinks_Click);
  connect(cmdReplaceUrl, &QPushButton::clicked, this, &frmLinks::cmdReplaceUrl_Click);
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Links (address, how many, text):"), this));
  layout->addWidget(lstLinks);
  auto* row = new QHBoxLayout;
  row->addWidget(txtNewUrl, 1);
  row->addWidget(cmdReplaceUrl);
  layout->addLayout(row);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(cmdClose);
  layout->addLayout(bottom);
  refresh();
  tips::set(this, {{"lstLinks",
                    "Every address the page's links go to, how many go there, and their text"},
                   {"txtNewUrl", "The new address for the links chosen above"},
                   {"cmdReplaceUrl", "Give every link to the chosen address the new one"},
                   {"cmdClose", "Close this window (Esc)"}});
}

void frmLinks::refresh() {
  if (!browser_) return;
  const QString keep = chosenHref();
  documentops::run(browser_, QStringLiteral("links"), {}, this, [this, keep](const QVariant& v) {
    const QSignalBlocker block(lstLinks);
    lstLinks->clear();
    for (const QVariant& entry : v.toList()) {
      const QVariantMap link = entry.toMap();
      const QString href = link.value(QStringLiteral("href")).toString();
      const int count = link.value(QStringLiteral("count")).toInt();
      const QString text = link.value(QStringLiteral("text")).toString();
      auto* item = new QListWidgetItem(
          QStringLiteral("%1   (%2 %3)   %4")
              .arg(href)
              .arg(count)
              .arg(count == 1 ? QStringLiteral("link") : QStringLiteral("links"))
              .arg(text.size() > 60 ? text.left(60) + QChar(0x2026) : text),
          lstLinks);
      item->setData(Qt::UserRole, href);
      if (href == keep) lstLinks->setCurrentItem(item);
    }
    cmdReplaceUrl->setEnabled(lstLinks->currentItem() != nullptr);
    emit loaded();
  });
}

QString frmLinks::chosenHref() const {
  const QListWidgetItem* item = lstLinks->currentItem();
  return item ? item->data(Qt::UserRole).toString() : QString();
}

void frmLinks::lstLinks_Click() {
  const QString href = chosenHref();
  cmdReplaceUrl->setEnabled(lstLinks->currentItem() != nullptr);
  if (lstLinks->currentItem() == nullptr || !browser_) return;
  txtNewUrl->setText(href);
  documentops::run(browser_, QStringLiteral("show"), {href}, this);
}

void frmLinks::cmdReplaceUrl_Click() {
  if (!lstLinks->currentItem() || !browser_) return;
  const QString from = chosenHref();
  const QString to = txtNewUrl->text().trimmed();
  if (to == from) return;
  if (!acceptLinkAddress(to, folder_, windowTitle(), this)) return;
  documentops::run(browser_, QStringLiteral("replace"), {from, to}, this,
                   [this, to](const QVariant&) {
                     // The list now shows the new address, still chosen.
                     const QSignalBlocker block(lstLinks);
                     if (QListWidgetItem* item = lstLinks->currentItem())
                       item->setData(Qt::UserRole, to);
                     refresh();
                   });
}
