#include "tools/link_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/link_address.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"

bool acceptLinkAddress(const QString& address, const QString& pageFolder, const QString& title,
                       QWidget* parent) {
  const linkaddress::Verdict v = linkaddress::check(address);
  if (v.kind == linkaddress::Kind::Refused) {
    MsgBox(v.why, MsgButtons::OkOnly, MsgIcon::Information, title, parent);
    return false;
  }
  if (v.kind != linkaddress::Kind::Relative || v.file.isEmpty() || pageFolder.isEmpty())
    return true;
  if (QFileInfo::exists(QDir(pageFolder).filePath(v.file))) return true;
  return MsgBox(QStringLiteral("There is no file \"%1\" beside the page, so the link will not "
                               "work until you put it there. Use this address anyway?")
                    .arg(v.file),
                MsgButtons::YesNo, MsgIcon::Warning, title, parent) == MsgAnswer::Yes;
}

frmLink::frmLink(const QString& pageFolder, const Fields& fields, bool existing, TextUse textUse,
                 QWidget* parent)
    : QDialog(parent), pageFolder_(pageFolder), originalUrl_(fields.url), existing_(existing) {
  setObjectName(QStringLiteral("frmLink"));
  setWindowTitle(QStringLiteral("Link"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* form = new QFormLayout;
  txtLinkUrl = named(new QLineEdit(fields.url, this), "txtLinkUrl");
  txtLinkUrl->setPlaceholderText(QStringLiteral("https://example.com/page.html"));
  txtLinkUrl->setMinimumWidth(360);
  form->addRow(QStringLiteral("Address:"), txtLinkUrl);
  txtLinkText = named(new QLineEdit(fields.text, this), "txtLinkText");
  // A link around a picture shows the picture; its text is not the user's to type.
  txtLinkText->setReadOnly(textUse == TextUse::ReadOnly);
  form->addRow(QStringLiteral("Text shown:"), txtLinkText);
  chkNewWindow = named(new QCheckBox(QStringLiteral("Open in a new tab"), this), "chkNewWindow");
  chkNewWindow->setChecked(fields.newTab);
  form->addRow(QString(), chkNewWindow);

  auto* buttons = new QDialogButtonBox(this);
  // Removing stands apart from the answers, on the left.
  cmdRemove = named(new QPushButton(QStringLiteral("Remove Link"), this), "cmdRemove");
  cmdRemove->setVisible(existing_);
  cmdOk = named(new QPushButton(QStringLiteral("OK"), this), "cmdOk");
  cmdOk->setDefault(true);
  cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  buttons->addButton(cmdOk, QDialogButtonBox::AcceptRole);
  buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
  connect(cmdOk, &QPushButton::clicked, this, &frmLink::cmdOk_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdRemove, &QPushButton::clicked, this, &frmLink::cmdRemove_Click);
  tips::set(this, {{"txtLinkUrl", "The web address, e-mail (mailto:) or page the link goes to"},
                   {"txtLinkText", "The words of the link"},
                   {"chkNewWindow", "Open the link in a new tab"},
                   {"cmdRemove", "Remove the link and keep its words"},
                   {"cmdOk", "Change the link (Enter)"},
                   {"cmdCancel", "Leave the link as it was (Esc)"}});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  auto* row = new QHBoxLayout;
  row->addWidget(cmdRemove);
  row->addWidget(buttons, 1);
  layout->addLayout(row);
}

frmLink::Fields frmLink::fields() const {
  const QString url = txtLinkUrl->text().trimmed();
  return {url == originalUrl_.trimmed() ? originalUrl_ : url, txtLinkText->text(),
          chkNewWindow->isChecked()};
}

void frmLink::cmdOk_Click() {
  const QString url = txtLinkUrl->text().trimmed();
  // An existing link's own address is the page's, not a new choice: it is
  // kept as it is even where a new one would be questioned.
  const bool unchanged = existing_ && url == originalUrl_.trimmed();
  if (!unchanged && !acceptLinkAddress(url, pageFolder_, windowTitle(), this)) {
    txtLinkUrl->setFocus();
    return;
  }
  choice_ = Choice::Write;
  accept();
}

void frmLink::cmdRemove_Click() {
  choice_ = Choice::Remove;
  accept();
}
