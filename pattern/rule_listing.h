// Text forms of compiled rules: the condition of a transition, a rule text
// rebuilt from its graph, and the listing of a whole table.
// Tested by pattern/rule_table_test.cpp.
#pragma once

#include "base/otstr.h"

class State;
struct Transition;

namespace rulelisting {

// The condition of a transition as written in a rule, with its repeat:
// "[0-9]<1,>", "{12 $3}", " " for a branch.
void AppendTransitionText(const Transition& tr, OTSTR& out);
// The rule text joined from the paths of the graph below start, groups and
// called rules in parentheses.
void AppendRuleText(const State* start, OTSTR& out);

}  // namespace rulelisting
