// The program listing: a compiled Program written back as text, one line per
// item with its source line number and tree marks that show the nesting.
// Tested by script/program_listing_test.cpp.
#pragma once

#include <cstdio>

class Program;
class ProgramItem;

// Writes the listing of top to path (replacing the file), after the line
// "Program" when header is set. A file that cannot be opened is skipped
// silently; the result is always true.
bool WriteListing(Program& top, const char* path, bool header);

// The listing of program, each line starting with prefix; used for the top
// Program and, recursively, for included files, blocks and bodies.
void PrintProgram(FILE* file, Program& program, const char* prefix);

// The lines of one statement (kinds 10 to 14, or a block) that stands among
// the items of owner at line: owner decides the line format.
void PrintStatement(FILE* file, ProgramItem& statement, const char* prefix, const Program& owner,
                    int line);
