// What a row of the result tree stands for: the bytes of the message its
// item came from (read from the row's location cell), and its node in the
// JSON of the translation, the same node vantor-cli writes.
// Tested by app/desktop/main_window_test.cpp.
#pragma once

#include <QString>
#include <QVector>
#include <string>

// The bytes of a row from its location cell ("start:length", blanks
// allowed). A bit field shows length 0 or a length that stops inside its
// unit; with a bit marker ("0100----") it covers the one byte it starts
// in. False for a row without a location.
bool RowBytes(const QString& location, const QString& marker, int& start, int& length);

// Whether a marker draws single bits ("--0-----", "0100----") rather than
// bytes ("***B2***").
bool IsBitMarker(const QString& marker);

// The text of the node that the tree row reached by rowPath stands for,
// cut from messageJson (a line of vantor-cli's JSON: the object with the
// root node under "tree"). rowPath holds the row numbers among siblings
// below the root row; rows of array elements that the JSON keeps as one
// value give the array's node. Empty when the text has no tree.
std::string NodeJson(const std::string& messageJson, const QVector<int>& rowPath);
