// Which spelling dictionary a page gets.
#include "engine/spell_language.h"

#include <QTest>

class SpellLanguageTest final : public QObject {
  Q_OBJECT
 private slots:
  void spellingLanguage_data();
  void spellingLanguage();
};

void SpellLanguageTest::spellingLanguage_data() {
  QTest::addColumn<QString>("lang");
  QTest::addColumn<QString>("system");
  QTest::addColumn<QStringList>("available");
  QTest::addColumn<QString>("picked");
  const QStringList some{"de-DE", "en-GB", "en-US"};
  QTest::newRow("page's own, exactly") << "en-GB"
                                       << "de_DE" << some << "en-GB";
  QTest::newRow("page's own, case and underscore") << "EN_us"
                                                   << "de_DE" << some << "en-US";
  QTest::newRow("page's language by its first part") << "de"
                                                     << "en_US" << some << "de-DE";
  QTest::newRow("page's unknown: the system's") << "fr-FR"
                                                << "en_US" << some << "en-US";
  QTest::newRow("no lang: the system's") << ""
                                         << "de_AT" << some << "de-DE";
  QTest::newRow("neither: the first there is") << "fr"
                                               << "it_IT" << some << "de-DE";
  QTest::newRow("no dictionaries") << "en"
                                   << "en_US" << QStringList() << "";
}

void SpellLanguageTest::spellingLanguage() {
  QFETCH(QString, lang);
  QFETCH(QString, system);
  QFETCH(QStringList, available);
  QFETCH(QString, picked);
  QCOMPARE(spelllanguage::pick(lang, system, available), picked);
}

QTEST_GUILESS_MAIN(SpellLanguageTest)
#include "spell_language_test.moc"
