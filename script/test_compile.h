// Test support: compiles a script text as a file, with the final checks.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pattern/script_lexer.h"
#include "script/compiler.h"
#include "script/program.h"

namespace testcompile {

// "OK" or the error text of compiling text into program.
inline std::string Compile(const char* text, Program& program) {
    EXPECT_TRUE(RegisterGrammar());
    ScriptLexer lexer;
    lexer.SetBuffer(text);
    OTSTR error;
    if (CompileFile(program, lexer, true, error)) return "OK";
    return error.GetBuffer(0);
}

inline std::string Compile(const char* text) {
    Program program;
    return Compile(text, program);
}

}  // namespace testcompile
