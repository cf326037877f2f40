// ItemFrame: a frame above the environment's top that holds items of the
// instance tree ("this", "curItem", "Parent") while a procedure of the
// decoder runs, and lets them go again when it closes. Its frame comes from
// the environment's spare frames and goes back there. Tested through the
// decoder's tests (decoder/decoder_test.cpp).
#pragma once

class CVariableItem;
class ExecuteEnv;
class RunTimeStk;

class ItemFrame {
  public:
    explicit ItemFrame(ExecuteEnv& env) : env(env) {}
    ~ItemFrame() { Close(); }
    ItemFrame(const ItemFrame&) = delete;
    ItemFrame& operator=(const ItemFrame&) = delete;

    // Makes and pushes the frame with item (may be null) in it; 1 done,
    // 0 allocation failed, -1 push failed.
    int Open(CVariableItem* item);
    bool Add(CVariableItem* item);
    void Remove(CVariableItem* item);
    // Lets every item go and pops the frame.
    void Close();

  private:
    ExecuteEnv& env;
    RunTimeStk* frame = nullptr;
};
