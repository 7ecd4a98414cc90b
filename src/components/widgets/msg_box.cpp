#include "widgets/msg_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

MsgBoxHandler& handler() {
  static MsgBoxHandler installed;
  return installed;
}

QMessageBox::Icon toQt(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Information:
      return QMessageBox::Information;
    case MsgIcon::Question:
      return QMessageBox::Question;
    case MsgIcon::Warning:
      return QMessageBox::Warning;
    case MsgIcon::Critical:
      return QMessageBox::Critical;
    case MsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void setMsgBoxHandler(MsgBoxHandler h) { handler() = std::move(h); }

MsgAnswer MsgBox(const QString& prompt, MsgButtons buttons, MsgIcon icon, const QString& title,
                 QWidget* parent) {
  const MsgBoxCall call{prompt, buttons, icon, title};
  if (handler()) return handler()(call);

  QMessageBox box(toQt(icon), title, prompt, QMessageBox::NoButton,
                  parent ? parent : QApplication::activeWindow());
  box.setObjectName(QStringLiteral("MsgBox"));
  // Left to guess, QMessageBox takes a text with markup for rich text and
  // swallows "<HEAD>" or whatever a file name holds.
  box.setTextFormat(Qt::PlainText);
  QPushButton* show = nullptr;
  switch (buttons) {
    case MsgButtons::OkOnly:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case MsgButtons::SaveDiscard:
      box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard);
      box.setDefaultButton(QMessageBox::Save);
      break;
    case MsgButtons::SaveDiscardCancel:
      box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Save);
      break;
    case MsgButtons::YesNoShow:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      show = box.addButton(QStringLiteral("Show"), QMessageBox::ActionRole);
      box.setDefaultButton(QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
  }
  const int answer = box.exec();
  if (show && box.clickedButton() == show) return MsgAnswer::Show;
  switch (answer) {
    case QMessageBox::Yes:
      return MsgAnswer::Yes;
    case QMessageBox::No:
      return MsgAnswer::No;
    case QMessageBox::Save:
      return MsgAnswer::Save;
    case QMessageBox::Discard:
      return MsgAnswer::Discard;
    case QMessageBox::Cancel:
      return MsgAnswer::Cancel;
    default:
      break;
  }
  // Esc or the close box: the safest answer the buttons allow.
  if (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoShow) return MsgAnswer::No;
  if (buttons == MsgButtons::SaveDiscardCancel) return MsgAnswer::Cancel;
  if (buttons == MsgButtons::SaveDiscard) return MsgAnswer::Save;
  return MsgAnswer::Ok;
}

void FileErrorMsg(const QString& verb, const QString& path, const QString& why, QWidget* parent) {
  const QString name = path.isEmpty() ? QStringLiteral("the page") : QFileInfo(path).fileName();
  MsgBox(QStringLiteral("Could not %1 %2: %3.\n\n%4").arg(verb, name, why, path),
         MsgButtons::OkOnly, MsgIcon::Critical, QStringLiteral("File Error"), parent);
}
