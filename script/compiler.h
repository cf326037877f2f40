// The script compiler as the other subsystems use it: registering the
// grammar of the script language and compiling a file. Its parts share
// script/compile_context.h. Tested by script/compiler_test.cpp.
#pragma once

#include "base/otstr.h"

class Program;
class ScriptLexer;

// Registers every rule set of the script language once per process; true
// only when all of them compiled.
bool RegisterGrammar();

// Compiles a file Program from an open lexer; with finalChecks the final
// checks run after a successful compilation. On failure errorText receives
// "<position>  <message>" or a final-check text.
bool CompileFile(Program& file, ScriptLexer& lexer, bool finalChecks, OTSTR& errorText);
