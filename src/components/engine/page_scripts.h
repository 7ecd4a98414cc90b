#pragma once

#include <QJsonArray>
#include <QString>
#include <QVariant>
#include <functional>

class QWebEnginePage;

// The program's own scripts in a page (resources/scripts/*.js): put into
// every document once, in the program's own script world, where the page's
// scripts can neither see nor change them and where they run with the page's
// scripts off. Each defines functions of window.__qv; the program calls them
// by name, with values that travel as JSON, never as code.
namespace pagescripts {

// From now on every document page loads holds the scripts. Once per page.
void install(QWebEnginePage* page);

// The expression that calls window.__qv.<function>(args...); undefined in a
// document that holds no scripts of ours (an error page).
QString expression(const QString& function, const QJsonArray& args = {});

// Runs it in the document page shows now; done gets what it returned.
void call(QWebEnginePage* page, const QString& function, const QJsonArray& args = {},
          std::function<void(const QVariant&)> done = {});

}  // namespace pagescripts
