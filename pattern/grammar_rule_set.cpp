// GrammarRuleSet: the word tree of a construct's alternatives.
// Tested by pattern/gram_matcher_test.cpp.
#include "pattern/grammar_rule_set.h"

#include <new>

namespace {
int32_t g_nextNodeId = 1;
}

GrammarNode::GrammarNode() : id(g_nextNodeId++) {}

GrammarNode::~GrammarNode() {
    for (int i = 0; i < edges.GetSize(); ++i) delete EdgeAt(i);
}

void GrammarNode::RebuildExpectText() {
    expectText.Assign("", 0);
    bool first = true;
    for (int i = 0; i < EdgeCount(); ++i) {
        const GrammarEdge* edge = EdgeAt(i);
        if (edge->word.IsEmpty()) continue;
        if (!first) expectText.Append("or ");
        first = false;
        expectText.safeAppends(edge->isSub ? "$%s " : "'%s' ", edge->word.GetBuffer(0));
    }
}

GrammarRuleSet::GrammarRuleSet() {
    GrammarNode* root = NewNode(-1);
    if (root != nullptr) roots.Add(root);
}

GrammarRuleSet::~GrammarRuleSet() {
    for (int i = 0; i < nodes.GetSize(); ++i) delete nodes.GetAt(i);
}

GrammarNode* GrammarRuleSet::NewNode(int32_t ruleId) {
    GrammarNode* node = new (std::nothrow) GrammarNode;
    if (node == nullptr) return nullptr;
    int before = nodes.GetSize();
    if (nodes.Add(node) == before) {
        delete node;
        return nullptr;
    }
    node->ruleId = ruleId;
    return node;
}

void GrammarRuleSet::ClearRules() {
    GrammarNode* root = GetRoot();
    for (int i = 0; i < nodes.GetSize(); ++i) {
        GrammarNode* node = nodes.GetAt(i);
        if (node != root) delete node;
    }
    nodes.RemoveAll();
    if (root != nullptr) {
        for (int i = 0; i < root->EdgeCount(); ++i) delete root->EdgeAt(i);
        root->edges.RemoveAll();
        root->expectText.Empty();
        nodes.Add(root);
    }
}

// A new edge with a new node behind it; null when memory runs out.
GrammarNode* GrammarRuleSet::AddEdge(GrammarNode* from, bool isSub, const char* word, int length,
                                     int32_t ruleId) {
    GrammarEdge* edge = new (std::nothrow) GrammarEdge;
    GrammarNode* node = edge ? NewNode(ruleId) : nullptr;
    if (node == nullptr) {
        delete edge;
        return nullptr;
    }
    edge->isSub = isSub;
    edge->word.Assign(word, length);
    edge->target = node;
    int before = from->EdgeCount();
    if (from->edges.Add(edge) == before) {
        delete edge;
        return nullptr;
    }
    from->RebuildExpectText();
    return node;
}

bool GrammarRuleSet::AddRule(int32_t id, const char* text) {
    if (id < 1) {
        lastError = "Rule Id should greater than 0";
        return false;
    }
    for (int i = 0; i < nodes.GetSize(); ++i) {
        if (nodes.GetAt(i)->ruleId == id) {
            lastError.Format("Rule %ld already exist", static_cast<long>(id));
            return false;
        }
    }
    GrammarNode* current = GetRoot();
    const char* p = text ? text : "";
    bool ok = current != nullptr;
    while (ok) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == 0) break;
        const char* start = p;
        while (*p != 0 && *p != ' ' && *p != '\t') ++p;
        bool isSub = *start == '$';
        const char* word = isSub ? start + 1 : start;
        int length = static_cast<int>(p - word);
        if (isSub && length == 0) {
            lastError.Format("Rule %ld Build fail, condition str len should > 0",
                             static_cast<long>(id));
            ok = false;
            break;
        }
        // Only the node's last edge is shared, so that alternatives keep
        // their order of registration.
        GrammarEdge* last =
            current->EdgeCount() > 0 ? current->EdgeAt(current->EdgeCount() - 1) : nullptr;
        if (last != nullptr && last->isSub == isSub && last->word.GetLength() == length &&
            last->word.CompareN(word, length, caseSensitive)) {
            current = last->target;
            continue;
        }
        current = AddEdge(current, isSub, word, length, -1);
        if (current == nullptr) {
            lastError.Format("Rule %ld build fail, malloc error", static_cast<long>(id));
            ok = false;
        }
    }
    if (ok && AddEdge(current, false, "", 0, id) == nullptr) {
        lastError.Format("Rule %ld build fail, malloc error", static_cast<long>(id));
        ok = false;
    }
    if (!ok) ClearRules();
    return ok;
}
