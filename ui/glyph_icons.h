// The program's small icons, drawn in code at 16x16 and 32x32 and kept once
// made. Tested by ui/widgets_test.cpp.
#pragma once

#include <QIcon>

enum class Glyph {
    Ok,
    Failed,
    Neutral,
    ExpandTypeOf,
    DisplayMode,
    ExternalData,
    Translate,
    AddToList,
    Load,
    Save,
    Clear,
    Script,
    Receiving,
    Idle
};

// Needs a QGuiApplication.
QIcon GlyphIcon(Glyph glyph);
