#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "tools/page_batch.h"
#include "tools/page_search.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;
class WebBrowser;

// The Find and Replace window: finds a text in the current page or in every
// page of the list, shows each match in its page, and replaces the matches
// the user leaves ticked. Modeless; long runs go a few pages at a time so the
// window answers, and closing it stops them.
class frmFind final : public QDialog {
  Q_OBJECT
 public:
  frmFind(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr);

  // Whether a search or a replace is under way.
  bool busy() const;

 public slots:
  void cmdFind_Click();
  void cmdReplace_Click();
  void cmdClose_Click();

 signals:
  void searchDone();
  void replaceDone();

 private:
  void buildControls();
  void startSearch();
  void startReplace();
  void step();
  void searchStep();
  void replaceStep();
  void endSearch();
  void endReplace();
  void showProgress(const QString& doing);
  void addPageToList(int pageIndex);
  void settleThen(void (frmFind::*next)());
  void updateButtons();

  enum class Work { None, Searching, Replacing };

  QPointer<QComboBox> pageList_;
  QPointer<WebBrowser> browser_;

  QLabel* lblFind = nullptr;
  QLineEdit* txtFind = nullptr;
  QLabel* lblReplace = nullptr;
  QLineEdit* txtReplace = nullptr;
  QRadioButton* optText = nullptr;
  QRadioButton* optCode = nullptr;
  QCheckBox* chkMatchCase = nullptr;
  QCheckBox* chkWholeWord = nullptr;
  QCheckBox* chkAllPages = nullptr;
  QTreeWidget* lstMatches = nullptr;
  QLabel* lblSummary = nullptr;
  QProgressBar* prgProgress = nullptr;
  QPushButton* cmdFind = nullptr;
  QPushButton* cmdReplace = nullptr;
  QPushButton* cmdClose = nullptr;

  Work work_ = Work::None;
  QTimer* stepper_ = nullptr;
  QElapsedTimer started_;
  QStringList queue_;  // pages still to search
  qsizetype next_ = 0;
  pagesearch::Options searchedFor_;
  QList<pagebatch::SearchedPage> searched_;
  // The replace under way: pages with their ticked matches, and what came of each.
  QList<QPair<int, QList<int>>> toReplace_;
  QString replacement_;
  std::unique_ptr<pagebatch::PageBatch> batch_;
  QList<pagebatch::PageOutcome> outcomes_;
};
