#include "intake/welcome.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "intake/drive_list.h"
#include "intake/drop_platform.h"
#include "intake/folder_list.h"
#include "intake/html_file_list.h"
#include "intake/mod_ole.h"
#include "intake/unpack_window.h"
#include "intake/welcome_picture.h"
#include "widgets/link_label.h"
#include "widgets/look.h"
#include "widgets/named.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

namespace {

const QString kVerdana = QStringLiteral("Verdana");
const QString kSansSerif = QStringLiteral("MS Sans Serif");

// A centred, wrapping caption as the classic labels draw it.
QLabel* caption(QWidget* parent, const char* name, const QString& text, qreal points,
                unsigned bgr) {
  auto* label = named(new QLabel(text, parent), name);
  label->setFont(look::font(kVerdana, points));
  look::setTextColor(label, look::fromBgr(bgr));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

LinkLabel* link(QWidget* parent, const char* name, const QString& text) {
  auto* label = named(new LinkLabel(text, parent), name);
  label->setFont(look::font(kSansSerif, 8.25, true, true));
  look::setTextColor(label, look::fromBgr(0xC00000));
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  return label;
}

}  // namespace

frmdropfiles::frmdropfiles(QComboBox* pageList, QWidget* parent)
    : QDialog(parent), pageList_(pageList) {
  setObjectName(QStringLiteral("frmdropfiles"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Welcome"));
  // Fixed size: no minimise or maximise box, no help button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  look::setBackground(this, Qt::white);
  const double dpi = twips::dpiOf(this);
  setFixedSize(twips::toPixels(kClientWidth, dpi), twips::toPixels(kClientHeight, dpi));
  buildControls();
  tips::set(this, {{"lstFiles", "The pages you dropped or picked, to be added to the page list"},
                   {"cmdOk", "Add the pages listed to the page list and close this window"},
                   {"cmdUnload", "Close this window without adding pages (Esc)"},
                   {"Label5", "Pick your pages' folder from a list instead of dragging them here"},
                   {"Label7", "Go back to dropping your pages here"},
                   {"Drive1", "The drive that holds your pages"},
                   {"Dir1", "The folder that holds your pages: double-click to open it"},
                   {"File1", "The pages of the chosen folder; all of them are added"}});
  Form_Load();
}

frmdropfiles::~frmdropfiles() {
  if (!unloaded_) Form_Unload();
}

void frmdropfiles::buildControls() {
  Label5 = link(this, "Label5", QStringLiteral("Don't Want to Use Drag and Drop? Click Here"));
  twips::place(Label5, 7425, 135, 4515, 240);

  Label2 =
      caption(this, "Label2", QStringLiteral("What Do You Want To Resell Today?"), 24, 0x800000);
  twips::place(Label2, 1080, 630, 10545, 1185);

  Label1 = caption(this, "Label1", kInitialStatus, 20.25, 0xC00000);
  twips::place(Label1, 1080, 1665, 10545, 1185);

  Image1 = named(new QLabel(this), "Image1");
  Image1->setPixmap(QPixmap::fromImage(drawWelcomePicture(devicePixelRatioF())));
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  twips::place(Image1, 5085, 2925, 2670, 2670);

  Label3 = caption(this, "Label3",
                   QStringLiteral("Then you'll be able to quickly add your buy button to your "
                                  "page, make text modifications etc."),
                   15.75, 0x404040);
  twips::place(Label3, 1080, 5895, 10545, 1185);

  Label4 = caption(this, "Label4",
                   QStringLiteral("Always make backups of your files before making any changes."),
                   15.75, 0x800000);
  twips::place(Label4, 1035, 6885, 10545, 690);

  cmdOk = named(new QPushButton(QStringLiteral("Ok"), this), "cmdOk");
  twips::place(cmdOk, 3915, 7560, 2310, 645);
  cmdUnload = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdUnload");
  twips::place(cmdUnload, 6345, 7560, 2310, 645);
  // Enter presses the focused button only; neither is the default.
  cmdOk->setDefault(false);
  cmdUnload->setDefault(false);

  lstFiles = named(new QListWidget(this), "lstFiles");
  twips::place(lstFiles, 540, 1035, 1680, 1815);
  lstFiles->hide();

  buildPicker();
  setTabOrderAsDesigned();
  cmdOk->setFocus();

  connect(Label5, &LinkLabel::clicked, this, &frmdropfiles::Label5_Click);
  connect(Label7, &LinkLabel::clicked, this, &frmdropfiles::Label7_Click);
  connect(cmdOk, &QPushButton::clicked, this, &frmdropfiles::cmdOk_Click);
  connect(cmdUnload, &QPushButton::clicked, this, &frmdropfiles::cmdUnload_Click);
  connect(Drive1, &DriveList::Change, this, &frmdropfiles::Drive1_Change);
  connect(Dir1, &FolderList::Change, this, &frmdropfiles::Dir1_Change);
  connect(File1, &QListWidget::itemActivated, this, &frmdropfiles::File1_DblClick);
}

void frmdropfiles::buildPicker() {
  // Over the drop area and Label5 while it shows.
  picNoDragAndDrop = named(new QWidget(this), "picNoDragAndDrop");
  look::setBackground(picNoDragAndDrop, Qt::white);
  twips::place(picNoDragAndDrop, 810, 135, 11265, 6630);

  Label7 = link(picNoDragAndDrop, "Label7", QStringLiteral("Back to Drag and Drop"));
  twips::place(Label7, 6390, 225, 4515, 240);
  Label6 = caption(picNoDragAndDrop, "Label6",
                   QStringLiteral("Select a Folder with .htm / .html files."), 15.75, 0x800000);
  twips::place(Label6, 225, 630, 10545, 690);

  Drive1 = named(new DriveList(picNoDragAndDrop), "Drive1");
  twips::place(Drive1, 900, 1485, 3570, 315);
  Dir1 = named(new FolderList(picNoDragAndDrop), "Dir1");
  twips::place(Dir1, 855, 1935, 3570, 4140);
  File1 = named(new HtmlFileList(picNoDragAndDrop), "File1");
  twips::place(File1, 4815, 1575, 5640, 4380);

  // The three lists start at the working folder.
  const QString here = QDir::currentPath();
  {
    const QSignalBlocker quiet(Drive1);
    Drive1->setDrive(here);
  }
  Dir1->setPath(here);
  File1->setPath(Dir1->path());

  picNoDragAndDrop->raise();
  picNoDragAndDrop->hide();
}

void frmdropfiles::setTabOrderAsDesigned() {
  const QList<QWidget*> order{
      Label1,           cmdOk,  cmdUnload, lstFiles, Label2, Label3, Label4,
      picNoDragAndDrop, Label5, Drive1,    Dir1,     Label6, File1,  Label7};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void frmdropfiles::Form_Load() {
  modOle::setDropWindow(this);
  modOle::setArchiveHandler([this](const QStringList& archives) { unpackDropped(archives); });
  modOle::HookDropWindow();
  dropplatform::DragAcceptFiles(this, true);
  // Widgets keep their drawing in a backing store already; nothing to switch on.
  dropplatform::ChangeWindowMessageFilter(dropplatform::kWmDropFiles, dropplatform::kMsgFltAdd);
  dropplatform::ChangeWindowMessageFilter(dropplatform::kWmCopyGlobalData,
                                          dropplatform::kMsgFltAdd);
  dropplatform::ChangeWindowMessageFilter(dropplatform::kWmCopyData, dropplatform::kMsgFltAdd);
}

void frmdropfiles::Form_Unload() {
  unloaded_ = true;
  if (modOle::dropWindow() == this) {
    modOle::UnhookDropWindow();
    modOle::setArchiveHandler({});
  }
  dropplatform::DragAcceptFiles(this, false);
}

void frmdropfiles::done(int result) {
  if (!unloaded_) Form_Unload();
  QDialog::done(result);
}

void frmdropfiles::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    cmdUnload->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void frmdropfiles::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  const QWidget* owner = parentWidget();
  if (QScreen* where = owner ? owner->screen() : screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
  }
}

void frmdropfiles::Label5_Click() { picNoDragAndDrop->show(); }

void frmdropfiles::Label7_Click() { picNoDragAndDrop->hide(); }

void frmdropfiles::Drive1_Change() {
  // A drive that cannot be read leaves the folder and file lists as they were.
  Dir1->setPath(Drive1->drive());
}

void frmdropfiles::Dir1_Change() { File1->setPath(Dir1->path()); }

void frmdropfiles::unpackDropped(const QStringList& archives) {
  lstFiles->addItems(unpack::unpackArchivesIn(archives, this));
  Label1->setText(lstFiles->count() == 0 ? modOle::kNoValidFiles : modOle::kDone);
}

bool frmdropfiles::File1_DblClick() {
  const QString archive = File1->selectedArchive();
  if (archive.isEmpty()) return false;
  frmUnpack unpacking(archive, this);
  if (unpacking.exec() != QDialog::Accepted) return false;
  lstFiles->addItems(unpacking.pages());
  // Back to drop mode, where "Ok" hands over what is listed.
  Label7_Click();
  Label1->setText(lstFiles->count() == 0 ? modOle::kNoValidFiles : modOle::kDone);
  return true;
}

void frmdropfiles::cmdOk_Click() {
  // An archive chosen in the picker is unpacked first, then its pages go.
  if (!picNoDragAndDrop->isHidden() && !File1->selectedArchive().isEmpty() && !File1_DblClick())
    return;
  QStringList pages;
  if (picNoDragAndDrop->isHidden()) {
    pages.reserve(lstFiles->count());
    for (int i = 0; i < lstFiles->count(); ++i) pages.append(lstFiles->item(i)->text());
  } else {
    pages = File1->fullPaths();
    if (File1->count() > 0) File1->setCurrentRow(File1->count() - 1);
  }
  if (pageList_) {
    pageList_->addItems(pages);
    // Selected while this window still shows, so the page list does not load
    // it; the main window does when it is active again.
    const int last = pageList_->count() - 1;
    pageList_->setCurrentIndex(last);
    if (last >= 0) pageList_->setEditText(pageList_->itemText(last));
  }
  accept();
}

void frmdropfiles::cmdUnload_Click() { reject(); }
