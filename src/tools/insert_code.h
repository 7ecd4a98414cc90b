#pragma once

#include <QDialog>

class QComboBox;
class WebBrowser;

// The Insert Code window: replaces a tag in the current page with HTML code.
class Form3 final : public QDialog {
  Q_OBJECT
 public:
  Form3(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr);

 private:
  QComboBox* pageList_;
  WebBrowser* browser_;
};
