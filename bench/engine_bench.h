// What the benchmarks that drive the real engine share: waiting on it,
// running a script in the page, the memory of its processes, and a main().
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

class QEventLoop;
class WebBrowser;

namespace enginebench {

// Waits for a signal already connected to loop.quit(), or for the time-out.
void runLoop(QEventLoop& loop, int timeoutMs = 300000);

// Runs a script in the page (out of the page's own scripts' reach), waits for its result.
QVariant js(WebBrowser* browser, const QString& script);

// Waits for the next DownloadComplete.
bool waitLoaded(WebBrowser* browser, int timeoutMs = 300000);

// Writes bytes to a new file; false when it could not.
bool writePage(const QString& path, const QByteArray& bytes);

// A field of /proc/PID/status ("VmHWM:", "VmRSS:") in megabytes.
double statusMB(const QString& pid, const char* field);

// This process and every process it started (the engine's), by parent link.
QStringList processFamily();

// The field summed over processFamily(), each process's own value.
double familyMB(const char* field);

// Proportional set size (Pss: in /proc/PID/smaps_rollup) summed over
// processFamily(), in megabytes: memory the engine's processes share is
// counted once between them, not once in each.
double familyPssMB();

// This process's own value of the field.
double selfMB(const char* field);

// CPU time (user and system) the program and its engine processes have used so
// far: on a shared machine, what a step cost apart from waiting for the CPU.
double familyCpuSeconds();

// main(): the engine's environment, an offscreen QApplication, the benchmarks.
int runBenchmarks(int argc, char** argv);

}  // namespace enginebench
