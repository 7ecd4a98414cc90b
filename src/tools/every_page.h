#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "tools/page_batch.h"

class QComboBox;
class QWidget;
class WebBrowser;

// The code tools run on every page of the list at once. Each page is read
// and edited on its own, then they are written together (pagebatch::PageBatch);
// one that fails is reported and the others are still done. A report of what
// changed takes the place of "Done!".
namespace everypage {

// The pages a tool runs on: every page of the list once, or the current page
// when the list holds none.
QStringList pagesFor(const QComboBox* pageList);

// Each page read and edited in order, then written with the others through
// the batch writer; the outcome of each, in the same order. Every tool that
// writes many pages goes through here.
using EditOne = std::function<pagebatch::PageEdit(const QString& path, const QByteArray& bytes)>;
QList<pagebatch::PageOutcome> editEach(const QStringList& pages, const EditOne& edit);

// Insert Code: every exact occurrence of tag in every page becomes code.
void replaceTag(QComboBox* pageList, WebBrowser* browser, const QString& tag, const QString& code,
                QWidget* parent);

// Head code: code goes before the closing head tag of every page.
void insertHeadCode(QComboBox* pageList, WebBrowser* browser, const QString& code, QWidget* parent);

}  // namespace everypage
