// The input box for hexadecimal text: byte counting, cleaning of pasted hex
// and colouring of bytes. Tested by ui/hex_edit_test.cpp.
#include "ui/hex_edit.h"

#include <QFontDatabase>
#include <QMimeData>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace {

// Blanks and every control character (DEL included) may stand between bytes.
bool IsBlank(QChar c) {
    return c.unicode() <= 0x20 || c.unicode() == 0x7F;
}

bool IsHexDigit(QChar c) {
    char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// What pasted hex may put between its numbers.
bool IsPastedSeparator(QChar c) {
    if (c == QLatin1Char('\n')) return false;
    if (IsBlank(c)) return true;
    switch (c.unicode()) {
        case ',':
        case ':':
        case ';':
        case '-':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}

// "0x" / "0X" / "\x" / "\X" at position i.
bool IsPrefix(const QString& text, int i) {
    if (i + 1 >= text.size()) return false;
    QChar c = text[i];
    QChar x = text[i + 1];
    return (c == QLatin1Char('0') || c == QLatin1Char('\\')) &&
           (x == QLatin1Char('x') || x == QLatin1Char('X'));
}

// Colours the bytes of each line, alternating across lines; a character
// that breaks the syntax, and every byte past the limit, is shown in red.
// A block's state is the number of bytes before its end.
class ByteHighlighter : public QSyntaxHighlighter {
  public:
    explicit ByteHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
        even_.setForeground(QColor(0x1a, 0x3f, 0x8f));
        odd_.setForeground(QColor(0x0b, 0x7a, 0x6e));
        bad_.setForeground(QColor(0xd0, 0x10, 0x10));
        bad_.setBackground(QColor(0xfd, 0xe2, 0xe2));
    }

  protected:
    void highlightBlock(const QString& text) override {
        int bytes = std::max(previousBlockState(), 0);
        int n = text.size();
        int i = 0;
        while (i < n) {
            if (IsBlank(text[i])) {
                ++i;
            } else if (IsHexDigit(text[i]) && i + 1 < n && IsHexDigit(text[i + 1])) {
                const QTextCharFormat& format =
                    bytes >= HexEdit::kMaxBytes ? bad_ : (bytes % 2 == 0 ? even_ : odd_);
                setFormat(i, 2, format);
                ++bytes;
                i += 2;
            } else {
                setFormat(i, 1, bad_);
                ++i;
            }
        }
        setCurrentBlockState(bytes);
    }

  private:
    QTextCharFormat even_;
    QTextCharFormat odd_;
    QTextCharFormat bad_;
};

}  // namespace

HexEdit::HexEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WordWrap);
    new ByteHighlighter(document());
    connect(this, &QPlainTextEdit::textChanged, this, &HexEdit::TextChanged);
}

int HexEdit::CountBytes(const QString& text) {
    int bytes = 0;
    int n = text.size();
    int i = 0;
    while (i < n) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        if (!IsHexDigit(text[i]) || i + 1 >= n || !IsHexDigit(text[i + 1])) return -1;
        if (++bytes > kMaxBytes) return -1;
        i += 2;
    }
    return bytes;
}

QString HexEdit::CleanPastedHex(const QString& text) {
    if (CountBytes(text) >= 0) return text;
    QString out;
    QString line;
    bool any = false;
    int n = text.size();
    int i = 0;
    while (i <= n) {
        if (i == n || text[i] == QLatin1Char('\n')) {
            if (!line.isEmpty()) {
                if (!out.isEmpty()) out += QLatin1Char('\n');
                out += line;
                line.clear();
            }
            ++i;
            continue;
        }
        if (IsPastedSeparator(text[i])) {
            ++i;
            continue;
        }
        if (IsPrefix(text, i)) i += 2;
        int start = i;
        while (i < n && IsHexDigit(text[i])) ++i;
        // A number ends at a separator, a line end or the next "\x" escape.
        if (i == start) return text;
        if (i < n && !IsPastedSeparator(text[i]) && text[i] != QLatin1Char('\n') &&
            !(text[i] == QLatin1Char('\\') && IsPrefix(text, i))) {
            return text;
        }
        QString digits = text.mid(start, i - start).toUpper();
        if (digits.size() % 2 != 0) digits.prepend(QLatin1Char('0'));
        if (!line.isEmpty()) line += QLatin1Char(' ');
        line += digits;
        any = true;
    }
    return any ? out : text;
}

void HexEdit::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    textCursor().insertText(CleanPastedHex(source->text()));
    ensureCursorVisible();
}

void HexEdit::TextChanged() {
    int count = CountBytes(toPlainText());
    if (count == count_) return;
    count_ = count;
    emit byteCountChanged(count);
}
