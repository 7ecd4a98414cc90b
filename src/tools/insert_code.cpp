#include "tools/insert_code.h"

#include <QComboBox>

#include "components/web_browser.h"

Form3::Form3(QComboBox* pageList, WebBrowser* browser, QWidget* parent)
    : QDialog(parent), pageList_(pageList), browser_(browser) {
  setObjectName(QStringLiteral("Form3"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Insert Code"));
}
