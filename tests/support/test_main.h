#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "engine/engine_environment.h"
#include "files/page_history.h"

// QTEST_MAIN for tests that may start the browser engine.
#define QV_TEST_MAIN(TestClass)                                                                  \
  int main(int argc, char* argv[]) {                                                             \
    prepareEngineEnvironment();                                                                  \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                                \
    routeEngineThroughProxy();                                                                   \
    /* Every write a test makes is recorded, never into the user's own data. */                  \
    QTemporaryDir historyRoot;                                                                   \
    /* Open to all: a test acting as another user (WriteDenied) still keeps its history. */      \
    QFile::setPermissions(historyRoot.path(), QFileDevice::Permissions(0x7777));                 \
    history::setRoot(historyRoot.path());                                                        \
    TestClass test;                                                                              \
    return QTest::qExec(&test, argc, argv);                                                      \
  }
