#pragma once

#include <QDialog>

class QComboBox;
class WebBrowser;

// The Pro options window: head code, back-button redirect and page title.
class frmPRO final : public QDialog {
  Q_OBJECT
 public:
  frmPRO(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr);

 private:
  QComboBox* pageList_;
  WebBrowser* browser_;
};
