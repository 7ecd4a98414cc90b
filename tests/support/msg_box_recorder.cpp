#include "support/msg_box_recorder.h"

MsgBoxRecorder::MsgBoxRecorder(MsgAnswer answer) : answer_(answer) {
  setMsgBoxHandler([this](const MsgBoxCall& call) {
    calls.append(call);
    return queued_.isEmpty() ? answer_ : queued_.takeFirst();
  });
}

MsgBoxRecorder::~MsgBoxRecorder() { setMsgBoxHandler({}); }
