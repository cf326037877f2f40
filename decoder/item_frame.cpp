// ItemFrame: frames that lend items of the instance tree to procedures.
// Tested through decoder/decoder_test.cpp.
#include "decoder/item_frame.h"

#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"

namespace {

// The key under which the environment keeps these frames when spare.
const char kItemFrames = 0;

}  // namespace

int ItemFrame::Open(CVariableItem* item) {
    RunTimeStk* top = env.GetTopStk(0) != nullptr ? env.GetTopStk(0) : env.GetRoot();
    frame = env.NewFrame(nullptr, top, &kItemFrames);
    if (frame == nullptr) return 0;
    if ((item != nullptr && !frame->AddItem(item)) || !env.PushEnv(frame, false)) {
        if (item != nullptr) frame->DetachItem(item, true);
        env.RecycleFrame(frame);
        frame = nullptr;
        return -1;
    }
    return 1;
}

bool ItemFrame::Add(CVariableItem* item) {
    return frame != nullptr && frame->AddItem(item);
}

void ItemFrame::Remove(CVariableItem* item) {
    if (frame != nullptr && item != nullptr) frame->DetachItem(item, true);
}

void ItemFrame::Close() {
    if (frame == nullptr) return;
    while (frame->VariableCount() > 0) frame->DetachItem(frame->VariableAt(0), true);
    // A frame that is not the top stays out of the spare frames.
    if (env.PopEnv(frame, false)) {
        env.RecycleFrame(frame);
    } else {
        delete frame;
    }
    frame = nullptr;
}
