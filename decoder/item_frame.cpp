// ItemFrame: frames that lend items of the instance tree to procedures.
// Tested through decoder/decoder_test.cpp.
#include "decoder/item_frame.h"

#include <array>
#include <string>

#include "base/same_bytes.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "types/variable_item.h"

namespace {

// The key under which the environment keeps these frames when spare.
const char kItemFrames = 0;

// The layout of a frame that holds one item of this name and nothing else:
// the same key for the same name, another for another name, so that names
// found through the frame keep their places from call to call. Null once
// too many names were seen (the frame then has no layout).
const void* OneItemLayout(const OTSTR& name) {
    constexpr int kMaxNames = 16;
    thread_local std::array<std::string, kMaxNames> names;
    thread_local int count = 0;
    // The name up to its first zero byte, as every look-up takes it.
    const char* text = name.GetBuffer(0);
    size_t length = strnlen(text, static_cast<size_t>(name.GetLength()));
    for (int i = 0; i < count; ++i) {
        if (names[i].size() == length &&
            SameBytes(names[i].data(), text, static_cast<int>(length))) {
            return &names[i];
        }
    }
    if (count == kMaxNames) return nullptr;
    names[count] = text;
    return &names[count++];
}

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
    // Add and Remove forget the layout again.
    if (item != nullptr) frame->SetLayout(OneItemLayout(item->GetItemName()));
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
