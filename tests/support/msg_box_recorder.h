#pragma once

#include <QList>

#include "widgets/msg_box.h"

// Answers every message box while it lives, and keeps what was asked.
class MsgBoxRecorder final {
 public:
  explicit MsgBoxRecorder(MsgAnswer answer = MsgAnswer::Ok);
  ~MsgBoxRecorder();
  MsgBoxRecorder(const MsgBoxRecorder&) = delete;
  MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;

  // The answers for the next calls, in order; afterwards the default answer.
  void queue(QList<MsgAnswer> answers) { queued_ = std::move(answers); }

  QList<MsgBoxCall> calls;

 private:
  MsgAnswer answer_;
  QList<MsgAnswer> queued_;
};
