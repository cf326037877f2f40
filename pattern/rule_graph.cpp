// States of the compiled rule graph.
#include "pattern/rule_graph.h"

namespace {
int32_t g_nextStateId = 1;
}

State::State() : id(g_nextStateId++) {}

State::~State() {
    for (int i = 0; i < transitions.GetSize(); ++i) delete At(i);
}
