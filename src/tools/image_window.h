#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The Image window: which picture an image shows (a file or a web address),
// its description and size. Modal; on OK the picture is ready for the page:
// a file from outside the page's folder has been copied into it.
class frmImage final : public QDialog {
  Q_OBJECT
 public:
  struct Fields {
    QString src;  // as the page writes it
    QString alt;
    QString width;
    QString height;
  };
  frmImage(const QString& pageFolder, const Fields& fields, QWidget* parent = nullptr);

  // Valid after OK: what the image's attributes are to be.
  Fields fields() const { return result_; }

 public slots:
  void cmdOk_Click();
  void cmdBrowse_Click();

 private:
  QString pageFolder_;
  QString originalSrc_;
  Fields result_;
  QLineEdit* txtImageFile = nullptr;
  QPushButton* cmdBrowse = nullptr;
  QLineEdit* txtAlt = nullptr;
  QLineEdit* txtWidth = nullptr;
  QLineEdit* txtHeight = nullptr;
  QPushButton* cmdOk = nullptr;
  QPushButton* cmdCancel = nullptr;
};

// The src for what the user chose in the Image window: a web address as it
// is, a picture file by its path from the page (copied into the page's
// folder, under a name not taken, when it lies outside). Refused with a
// reason when it is no picture, missing, or an address that is not the web.
struct ImageSource final {
  QString src;
  QString why;  // empty on success
  QString copiedTo;
};
ImageSource imageSourceFor(const QString& chosen, const QString& pageFolder);
