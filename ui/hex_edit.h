// The input box for hexadecimal text: two digits per byte, blanks and
// control characters only between bytes, at most kMaxBytes bytes. Pasted hex
// in common notations is cleaned into that form; bytes are shown in
// alternating colours. Tested by ui/hex_edit_test.cpp.
#pragma once

#include <QPlainTextEdit>

class HexEdit : public QPlainTextEdit {
    Q_OBJECT

  public:
    static constexpr int kMaxBytes = 2047;

    explicit HexEdit(QWidget* parent = nullptr);

    // Turns pasted hex in common notations into the box's syntax: "0x" and
    // "\x" prefixes dropped, commas, colons, semicolons, dashes and braces
    // read as blanks; each run of digits kept, in capitals, with a leading 0
    // when its length is odd; one blank between runs, line breaks kept and
    // empty lines dropped. Text that already parses, and text that is not hex
    // in any of these notations, comes back unchanged. Typed text is never
    // cleaned: only paste and drop come through here.
    static QString CleanPastedHex(const QString& text);
    // The bytes text holds, -1 when it does not parse.
    static int CountBytes(const QString& text);

    // The bytes of the current text, -1 when it does not parse.
    int ByteCount() const { return count_; }

  signals:
    void byteCountChanged(int count);

  protected:
    void insertFromMimeData(const QMimeData* source) override;

  private:
    void TextChanged();

    int count_ = 0;
};
