// GrammarRuleSet: the alternatives of one construct of the script language
// ("$Type_specifier $Ident ;"), compiled into a word tree in which an
// alternative shares the path of the one registered just before it up to
// their first difference. Tested by pattern/gram_matcher_test.cpp.
#pragma once

#include <cstdint>

#include "base/ob_array.h"
#include "base/otstr.h"

class GrammarNode;

struct GrammarEdge {
    bool isSub = false;  // a $Name sub-rule rather than a literal word
    OTSTR word;          // without the '$'; empty for the edge to an end node
    GrammarNode* target = nullptr;
};

class GrammarNode {
  public:
    GrammarNode();
    ~GrammarNode();
    GrammarNode(const GrammarNode&) = delete;
    GrammarNode& operator=(const GrammarNode&) = delete;

    int EdgeCount() const { return edges.GetSize(); }
    GrammarEdge* EdgeAt(int i) const { return edges.GetAt(i); }
    // Rebuilds expectText from the edges: "'{' or $Ident ".
    void RebuildExpectText();

    int32_t id;
    int32_t ruleId = -1;              // the alternative that ends here, on end nodes
    ObArrayOf<GrammarEdge> edges{4};  // owned
    OTSTR expectText;
};

class GrammarRuleSet {
  public:
    GrammarRuleSet();
    ~GrammarRuleSet();
    GrammarRuleSet(const GrammarRuleSet&) = delete;
    GrammarRuleSet& operator=(const GrammarRuleSet&) = delete;

    // Adds the words of text as alternative id. Failures while building
    // clear the whole set; a bad or repeated id leaves it as it was.
    bool AddRule(int32_t id, const char* text);
    // Removes every alternative; the root stays.
    void ClearRules();
    void SetName(const char* text) { name = text; }
    const OTSTR& GetName() const { return name; }
    void SetCaseSensitive(bool on) { caseSensitive = on; }
    bool IsCaseSensitive() const { return caseSensitive; }
    const OTSTR& GetLastError() const { return lastError; }

    GrammarNode* GetRoot() const { return roots.GetAt(0); }
    int NodeCount() const { return nodes.GetSize(); }

  private:
    GrammarNode* NewNode(int32_t ruleId);
    GrammarNode* AddEdge(GrammarNode* from, bool isSub, const char* word, int length,
                         int32_t ruleId);

    ObArrayOf<GrammarNode> roots{4};
    ObArrayOf<GrammarNode> nodes{25};  // owns every node, the root included
    OTSTR name;
    bool caseSensitive = false;
    OTSTR lastError;
};
