#include "intake/welcome.h"

#include <QComboBox>

frmdropfiles::frmdropfiles(QComboBox* pageList, QWidget* parent)
    : QDialog(parent), pageList_(pageList) {
  setObjectName(QStringLiteral("frmdropfiles"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Welcome"));
}
