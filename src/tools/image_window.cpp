#include "tools/image_window.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "files/paths.h"
#include "files/v_file.h"
#include "text/image_file.h"
#include "text/link_address.h"
#include "widgets/msg_box.h"
#include "widgets/tips.h"

ImageSource imageSourceFor(const QString& chosen, const QString& pageFolder) {
  const QString typed = chosen.trimmed();
  if (typed.isEmpty())
    return {
        {}, QStringLiteral("Please choose a picture file or type a picture's web address."), {}};
  QString path = typed;
  const QString scheme = linkaddress::schemeOf(typed);
  if (scheme == u"http" || scheme == u"https") {
    const QUrl url(typed);
    if (!url.isValid() || url.host().isEmpty())
      return {{}, QStringLiteral("\"%1\" is not a complete web address.").arg(typed), {}};
    return {typed, {}, {}};
  }
  if (scheme == u"file") {
    path = QUrl(typed).toLocalFile();
  } else if (!scheme.isEmpty() && !(scheme.size() == 1 && QDir::separator() == u'\\')) {
    return {{},
            QStringLiteral("A picture comes from a file or a web address (http, https); "
                           "\"%1:\" addresses are not supported.")
                .arg(scheme),
            {}};
  }
  const QFileInfo info(QDir(pageFolder).absoluteFilePath(path));
  if (!info.isFile())
    return {{}, QStringLiteral("There is no picture file \"%1\".").arg(typed), {}};
  QByteArray bytes;
  if (const Status read = vFile::LoadBytes(bytes, info.absoluteFilePath()); !read)
    return {{}, QStringLiteral("Could not read %1: %2").arg(info.fileName(), read.why()), {}};
  if (imagefile::kindOf(bytes).isEmpty())
    return {{},
            QStringLiteral("%1 is not a picture. Please choose a PNG, JPEG, GIF, WebP or SVG file.")
                .arg(info.fileName()),
            {}};
  // A picture the page can reach as it is, wherever the pages go: really
  // inside its folder, not behind a link out of it nor in a hidden folder.
  if (!paths::regularFileInside(info.absoluteFilePath(), pageFolder).isEmpty())
    return {imagefile::relativeSrc(pageFolder, info.absoluteFilePath()), {}, {}};
  // The page must find the picture wherever the pages go: a copy beside it,
  // never over a file that is there already.
  const QDir folder(pageFolder);
  const QString name = imagefile::freeName(info.fileName(), [&folder](const QString& n) {
    return QFileInfo::exists(folder.filePath(n));
  });
  const QString target = folder.filePath(name);
  if (const Status saved = vFile::SaveBytes(bytes, target); !saved)
    return {
        {}, QStringLiteral("Could not copy the picture to %1: %2").arg(target, saved.why()), {}};
  return {imagefile::relativeSrc(pageFolder, target), {}, target};
}

frmImage::frmImage(const QString& pageFolder, const Fields& fields, QWidget* parent)
    : QDialog(parent), pageFolder_(pageFolder), originalSrc_(fields.src), result_(fields) {
  setObjectName(QStringLiteral("frmImage"));
  setWindowTitle(QStringLiteral("Image"));
  auto named = [](auto* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
  };
  auto* form = new QFormLayout;
  txtImageFile = named(new QLineEdit(fields.src, this), "txtImageFile");
  txtImageFile->setMinimumWidth(320);
  txtImageFile->setPlaceholderText(QStringLiteral("A picture file, or https://..."));
  cmdBrowse = named(new QPushButton(QStringLiteral("Browse..."), this), "cmdBrowse");
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(txtImageFile, 1);
  fileRow->addWidget(cmdBrowse);
  form->addRow(QStringLiteral("Picture:"), fileRow);
  txtAlt = named(new QLineEdit(fields.alt, this), "txtAlt");
  form->addRow(QStringLiteral("Description:"), txtAlt);
  auto* sizeValidator = new QIntValidator(1, 100000, this);
  txtWidth = named(new QLineEdit(fields.width, this), "txtWidth");
  txtHeight = named(new QLineEdit(fields.height, this), "txtHeight");
  for (QLineEdit* e : {txtWidth, txtHeight}) {
    e->setPlaceholderText(QStringLiteral("as the picture is"));
    e->setValidator(sizeValidator);
    e->setMaximumWidth(160);
  }
  form->addRow(QStringLiteral("Width:"), txtWidth);
  form->addRow(QStringLiteral("Height:"), txtHeight);

  auto* buttons = new QDialogButtonBox(this);
  cmdOk = named(new QPushButton(QStringLiteral("OK"), this), "cmdOk");
  cmdOk->setDefault(true);
  cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  buttons->addButton(cmdOk, QDialogButtonBox::AcceptRole);
  buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
  connect(cmdOk, &QPushButton::clicked, this, &frmImage::cmdOk_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdBrowse, &QPushButton::clicked, this, &frmImage::cmdBrowse_Click);
  tips::set(this, {{"txtImageFile", "The picture: a file, or a web address"},
                   {"cmdBrowse", "Choose a picture file"},
                   {"txtAlt", "What the picture shows, for those who cannot see it"},
                   {"txtWidth", "The width in pixels; empty for the picture's own"},
                   {"txtHeight", "The height in pixels; empty for the picture's own"},
                   {"cmdOk", "Use this picture (Enter)"},
                   {"cmdCancel", "Leave the picture as it was (Esc)"}});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void frmImage::cmdBrowse_Click() {
  const QString file = QFileDialog::getOpenFileName(
      this, QStringLiteral("Choose a Picture"), pageFolder_,
      QStringLiteral("Pictures (*.png *.jpg *.jpeg *.gif *.webp *.svg)"));
  if (!file.isEmpty()) txtImageFile->setText(QDir::toNativeSeparators(file));
}

void frmImage::cmdOk_Click() {
  Fields f{txtImageFile->text().trimmed(), txtAlt->text(), txtWidth->text().trimmed(),
           txtHeight->text().trimmed()};
  // The image's own src stays as the page wrote it when it was not changed.
  if (originalSrc_.isEmpty() || f.src != originalSrc_.trimmed()) {
    const ImageSource source = imageSourceFor(f.src, pageFolder_);
    if (!source.why.isEmpty()) {
      MsgBox(source.why, MsgButtons::OkOnly, MsgIcon::Information, windowTitle(), this);
      txtImageFile->setFocus();
      return;
    }
    f.src = source.src;
  } else {
    f.src = originalSrc_;
  }
  result_ = f;
  accept();
}
