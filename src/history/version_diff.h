#pragma once

#include <QByteArray>
#include <QString>

// What tells a version of a page from the page as it is now, line by line, in
// plain text a person can read: "- " marks a line only the version has, "+ " a
// line only the page has now, "  " the unchanged lines around each change.
namespace versiondiff {

QString describeChanges(const QByteArray& version, const QByteArray& now);

// A page's bytes as text to look at (never to write back).
QString displayText(const QByteArray& bytes);

}  // namespace versiondiff
