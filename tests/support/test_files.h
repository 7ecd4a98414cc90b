#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small file helpers for tests: raw bytes in and out, and copies of the
// shared corpus of real pages (never written in place).
namespace testfiles {

QByteArray read(const QString& path);
void write(const QString& path, const QByteArray& bytes);

// The corpus folder, and the path of each page in it ("01-bs5-landing-page/index.html").
QString corpusDir();
QStringList corpusPages();

// Copies one corpus folder (with its assets) into dir; returns the page's new path.
QString copyCorpusPage(const QString& page, const QString& dir);

}  // namespace testfiles
