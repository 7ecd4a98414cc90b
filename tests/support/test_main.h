#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "components/engine_environment.h"
#include "components/page_history.h"

// QTEST_MAIN for tests that may start the browser engine.
#define QV_TEST_MAIN(TestClass)                                                                  \
  int main(int argc, char* argv[]) {                                                             \
    prepareEngineEnvironment();                                                                  \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                                \
    /* Every write a test makes is recorded, never into the user's own data. */                  \
    QTemporaryDir historyRoot;                                                                   \
    history::setRoot(historyRoot.path());                                                        \
    TestClass test;                                                                              \
    return QTest::qExec(&test, argc, argv);                                                      \
  }
