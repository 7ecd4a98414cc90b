// Form2's part in the file intake: files dragged onto the main window.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/main_window.h"
#include "intake/drop_handle.h"
#include "intake/ole_drop_target.h"
#include "intake/unpack_window.h"

void Form2::setUpDrops() {
  // The surface takes drops anywhere no other target lies; the preview lets
  // them through to it.
  new OleDropTarget(this, [this](const QMimeData* Data) { Form_OLEDragDrop(Data); });
  auto* list =
      new OleDropTarget(Combo1, [this](const QMimeData* Data) { Combo1_OLEDragDrop(Data); });
  if (QLineEdit* field = Combo1->lineEdit()) {
    list->alsoServe(field);
    // The page list's text can be dragged out; the drag only ever copies, so
    // the text stays.
    field->setDragEnabled(true);
  }
}

void Form2::replacePageList(const QStringList& paths) {
  const QSignalBlocker quiet(Combo1);
  Combo1->clear();
  Combo1->addItems(paths);
  // Filling an empty list makes Qt select its first entry; a drop itself
  // chooses none.
  Combo1->setCurrentIndex(-1);
  Combo1->setEditText(QString());
}

// Dragged text carries no file list: the list is emptied all the same. An
// archive among the files is unpacked and stands for its pages.
void Form2::Form_OLEDragDrop(const QMimeData* Data) {
  unpack::afterUnpacking(droppedPaths(Data), this, [this](const QStringList& paths) {
    replacePageList(paths);
    Combo1->setCurrentIndex(Combo1->count() - 1);
  });
}

void Form2::Combo1_OLEDragDrop(const QMimeData* Data) {
  unpack::afterUnpacking(droppedPaths(Data), this,
                         [this](const QStringList& paths) { replacePageList(paths); });
}
