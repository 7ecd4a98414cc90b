#include "help/quick_help.h"

frmQuickHelp::frmQuickHelp(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmQuickHelp"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Quick Help"));
}
