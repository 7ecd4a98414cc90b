#include "tools/pro_options.h"

#include <QComboBox>

#include "components/web_browser.h"

frmPRO::frmPRO(QComboBox* pageList, WebBrowser* browser, QWidget* parent)
    : QDialog(parent), pageList_(pageList), browser_(browser) {
  setObjectName(QStringLiteral("frmPRO"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Pro Version"));
}
