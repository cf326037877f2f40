// TextFile: a whole source file in memory. Tested by
// pattern/script_lexer_test.cpp.
#include "pattern/text_file.h"

#include <cstring>
#include <vector>

#include "base/path.h"

OTSTR TextFile::FoldDots(const char* path) {
    OTSTR whole(path ? path : "");
    char sep = whole.Find('\\', 0) >= 0 ? '\\' : '/';
    // The folded path so far, and where each of its parts begins.
    OTSTR folded;
    folded.Assign("", 0);
    std::vector<int> partStarts;
    int start = 0;
    for (;;) {
        int end = whole.Find(sep, start);
        int length = (end < 0 ? whole.GetLength() : end) - start;
        const char* part = whole.GetBuffer(0) + start;
        bool dots = length == 2 && part[0] == '.' && part[1] == '.';
        size_t n = partStarts.size();
        // A ".." folds the part before it away, unless that is a ".." too
        // or the empty part before a leading separator.
        bool fold = dots && n > 0 && !(n == 1 && folded.GetLength() == 0);
        if (fold) {
            const char* last = folded.GetBuffer(0) + partStarts[n - 1];
            fold = strcmp(last, "..") != 0;
        }
        if (fold) {
            int cut = partStarts[n - 1];
            partStarts.pop_back();
            OTSTR kept = folded.Left(cut > 0 ? cut - 1 : 0);
            folded = kept;
            if (folded.GetLength() == 0) folded.Assign("", 0);
        } else {
            if (n > 0) folded.AppendChar(sep);
            partStarts.push_back(folded.GetLength());
            if (length > 0) folded.Append(part, length);
        }
        if (end < 0) break;
        start = end + 1;
    }
    return folded;
}

bool TextFile::Load(const char* name, bool textMode) {
    givenName = name ? name : "";
    fullPath = FoldDots(givenName.GetBuffer(0));
    int cut = fullPath.ReverseFind('\\');
    if (cut < 0) cut = fullPath.ReverseFind('/');
    fileName = fullPath.Mid(cut + 1);
    directory = fullPath.Left(cut + 1);
    if (fileName.GetLength() == 0) fileName.Assign("", 0);
    if (directory.GetLength() == 0) directory.Assign("", 0);

    data.Empty();
    if (!vpath::FileExists(fullPath.GetBuffer(0)) ||
        !vpath::ReadFile(fullPath.GetBuffer(0), textMode, data)) {
        lastError.Empty();
        lastError.safeAppends("File: %s  Open failed", givenName.GetBuffer(0));
        data.Empty();
        return false;
    }
    if (!data.HasStorage() && !data.Assign("", 0)) {
        lastError = "malloc buffer failed";
        return false;
    }
    return true;
}
