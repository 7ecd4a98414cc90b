#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The Link window: the address, text and tab of one link, an existing one
// or one about to be made. Modal; the caller does the edit it asks for.
class frmLink final : public QDialog {
  Q_OBJECT
 public:
  struct Fields {
    QString url;
    QString text;
    bool newTab = false;
  };
  enum class TextUse { Editable, ReadOnly };
  // pageFolder: where relative addresses are looked for. existing: a link
  // of the page (it can be removed); else one to be made.
  frmLink(const QString& pageFolder, const Fields& fields, bool existing, TextUse textUse,
          QWidget* parent = nullptr);

  // What the user chose: the fields to write, or to remove the link.
  enum class Choice { None, Write, Remove };
  Choice choice() const { return choice_; }
  Fields fields() const;

 public slots:
  void cmdOk_Click();
  void cmdRemove_Click();

 private:
  QString pageFolder_;
  QString originalUrl_;
  bool existing_ = false;
  Choice choice_ = Choice::None;
  QLineEdit* txtLinkUrl = nullptr;
  QLineEdit* txtLinkText = nullptr;
  QCheckBox* chkNewWindow = nullptr;
  QPushButton* cmdOk = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdRemove = nullptr;
};

// The address check both link windows use: true when address may go into
// the page; refusals and the missing-file question are asked of the user.
bool acceptLinkAddress(const QString& address, const QString& pageFolder, const QString& title,
                       QWidget* parent);
