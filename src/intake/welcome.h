#pragma once

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class LinkLabel;
class DriveList;
class FolderList;
class HtmlFileList;

// The welcome window: brings pages into the page list, either as files
// dropped onto it (drop mode) or as every HTML file of a folder chosen in its
// picker (picker mode, while picNoDragAndDrop shows). "Ok" hands over the
// current mode's pages and closes; every other way out hands over nothing.
class frmdropfiles final : public QDialog {
  Q_OBJECT
 public:
  explicit frmdropfiles(QComboBox* pageList, QWidget* parent = nullptr);
  ~frmdropfiles() override;

  static constexpr int kClientWidth = 12660;  // twips
  static constexpr int kClientHeight = 8490;
  static inline const QString kInitialStatus =
      QStringLiteral("Drag one or more HTML files here (sales page, download page, TOS page etc).");

 public slots:
  void Form_Load();
  void Form_Unload();
  void Label5_Click();
  void Label7_Click();
  void Drive1_Change();
  void Dir1_Change();
  void cmdOk_Click();
  void cmdUnload_Click();
  // Double-click or Enter on an archive in the picker: unpacks it and lists
  // its pages as if they had been dropped. False when nothing was unpacked.
  bool File1_DblClick();
  // Archives dropped on the window: each unpacked, its pages listed.
  void unpackDropped(const QStringList& archives);

  // Every way of closing (Ok, Cancel, Esc, the close box) ends here.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildControls();
  void buildPicker();
  void setTabOrderAsDesigned();

  QPointer<QComboBox> pageList_;
  bool unloaded_ = false;

  LinkLabel* Label5 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* cmdOk = nullptr;
  QPushButton* cmdUnload = nullptr;
  QListWidget* lstFiles = nullptr;
  QWidget* picNoDragAndDrop = nullptr;
  LinkLabel* Label7 = nullptr;
  QLabel* Label6 = nullptr;
  DriveList* Drive1 = nullptr;
  FolderList* Dir1 = nullptr;
  HtmlFileList* File1 = nullptr;
};
