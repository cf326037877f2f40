// GramMatcher: the grammar matcher over script tokens.
// Tested by pattern/gram_matcher_test.cpp.
#include "pattern/gram_matcher.h"

#include <strings.h>

#include "pattern/rule_table.h"
#include "pattern/script_lexer.h"

GramMatcher::GramMatcher(GramOwner* owner, const GramFunc* handlers)
    : owner(owner), handlers(handlers) {}

GramMatcher::~GramMatcher() {
    ClearResult(true);
}

void GramMatcher::Destroy(void* object, uint32_t kind) {
    if (kind == kGramToken) {
        delete static_cast<Token*>(object);
    } else {
        delete static_cast<NamedObject*>(object);
    }
}

Token* GramMatcher::TokenAt(int index) const {
    uint32_t kind = kGramObject;
    void* object = result.objects.GetAt(index, &kind);
    return kind == kGramToken ? static_cast<Token*>(object) : nullptr;
}

NamedObject* GramMatcher::HandlerObjectAt(int index) const {
    uint32_t kind = kGramToken;
    void* object = result.objects.GetAt(index, &kind);
    return kind == kGramObject ? static_cast<NamedObject*>(object) : nullptr;
}

void GramMatcher::ClearResult(bool destroy) {
    while (result.objects.GetSize() > 0) {
        uint32_t kind = 0;
        void* object = result.objects.RemoveLast(&kind);
        if (destroy) Destroy(object, kind);
    }
    result.ruleId = -1;
    result.current = nullptr;
}

GramHandler GramMatcher::FindHandler(const char* name) const {
    for (const GramFunc* f = handlers; f != nullptr && f->name != nullptr; ++f) {
        if (strcasecmp(f->name, name) == 0) return f->handler;
    }
    return nullptr;
}

bool GramMatcher::GramMatching(ScriptLexer& lex, GrammarRuleSet& rules) {
    if (result.objects.GetSize() > 0) {
        error.Set(lex.GetLocation(), "GramMatching() fail, result is not empty, clear first");
        return false;
    }
    if (!lex.IsReturnUnMatchContent()) {
        error.Set(lex.GetLocation(),
                  "GramMatching() fail, Lex's m_bReturnUnMatchContent must be true");
        return false;
    }
    error.Reset();
    ClearResult(true);
    lexer = &lex;
    set = &rules;
    fatal = false;
    result.current = rules.GetRoot();
    bool ok = result.current != nullptr && MatchNode(result.current);
    if (!ok) ClearResult(true);
    lexer = nullptr;
    set = nullptr;
    return ok;
}

bool GramMatcher::GramMatching(ScriptLexer& lex, const char* setName, const char* ruleText,
                               bool caseSensitive) {
    GrammarRuleSet rules;
    rules.SetName(setName ? setName : "");
    rules.SetCaseSensitive(caseSensitive);
    if (!rules.AddRule(1, ruleText)) {
        error.Set(lex.GetLocation(), "GramMatching() fail, create rule error");
        return false;
    }
    return GramMatching(lex, rules);
}

// Follows one edge and the rest of the tree behind it.
bool GramMatcher::MatchEdge(const GrammarEdge& edge) {
    if (!edge.isSub) {
        if (!edge.word.IsEmpty()) {
            Token token;
            if (lexer->GetToken(token, 0, false) != 1 ||
                !token.text.Compare(edge.word.GetBuffer(0), set->IsCaseSensitive()))
                return false;
        }
        return MatchNode(edge.target);
    }

    // A sub-rule: the compiler's handler, or else a token class of the lexer.
    const char* name = edge.word.GetBuffer(0);
    void* object = nullptr;
    uint32_t kind = kGramObject;
    if (GramHandler handler = FindHandler(name)) {
        object = handler({owner, set->GetName().GetBuffer(0), *lexer, error});
    } else {
        int32_t id = -1;
        RuleTable* table = lexer->GetRuleTable();
        if (table == nullptr || table->FindRuleByName(name, &id) == nullptr) {
            error.SetF(lexer->GetLocation(), "GramFunc $%s not found", name);
            fatal = true;
            return false;
        }
        Token token;
        if (lexer->ExpectKind(token, id)) object = new Token(token);
        kind = kGramToken;
    }
    if (object == nullptr) return false;

    int count = result.objects.GetSize();
    if (result.objects.Add(object, kind) == count) {
        Destroy(object, kind);
        return false;
    }
    if (MatchNode(edge.target)) return true;
    if (result.objects.GetSize() != count + 1 || result.objects.GetLast() != object) {
        error.Set(lexer->GetLocation(), "ObjectList operate fail");
        fatal = true;
        return false;
    }
    result.objects.RemoveLast();
    Destroy(object, kind);
    return false;
}

bool GramMatcher::MatchNode(GrammarNode* node) {
    result.current = node;
    if (node->ruleId >= 0) {
        result.ruleId = node->ruleId;
        return true;
    }
    SourcePos start = lexer->GetLocation();
    for (int i = 0; i < node->EdgeCount(); ++i) {
        if (MatchEdge(*node->EdgeAt(i))) return true;
        if (fatal) return false;
        lexer->setLocation(start);
    }
    error.SetF(start, "%s expected", node->expectText.GetBuffer(0));
    return false;
}
