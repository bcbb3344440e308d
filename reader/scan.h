// Reader part: the lexical units of the text, described once, and the
// stateless scanners built on them. Every pass over text uses them: the
// gatherers of the console and of files, a byte at a time as the bytes
// come; the normalising and rewriting passes, the cell builder and the
// source-line tagger, over a whole text in place.
//
// The units:
// - a string: '"' up to the next '"' not escaped; a backslash escapes the
//   byte after it, whatever it is, so every string the printer writes
//   (with \" and \\ inside) is one unit;
// - a character literal: #\ and the byte after it, if any (a lone #\ at
//   the end of a text is a unit of two bytes);
// - a comment: ';' up to the end of its line; the line end is no part of
//   it, so it still ends the token before the comment. Only raw text has
//   comments: the gatherers drop them, and a text that never went through
//   a gatherer (a library text) has none, its ';' being an ordinary byte.
// Everything else is ordinary text, a byte at a time. Units do not nest:
// inside a string or after #\ no other unit starts.
//
// Nothing here writes the text or calls the rest of the reader.
#ifndef TAMARISK_READER_SCAN_H
#define TAMARISK_READER_SCAN_H

// Where a text stands, fed its bytes one at a time from the start of a
// text (or of ordinary text). Inline: the gatherers feed it every byte
// they take, and the in-place passes every byte of a unit.
class UnitScan {
public:
    // A byte's part: ordinary text (kCode: it may end a token or change
    // the depth), inside a string or a character literal (kQuoted: its
    // opening '"' and closing '"' included; the #\ of a literal is kCode),
    // or inside a comment (kDropped: its ';' included, its line end not).
    enum Role : unsigned char { kCode, kQuoted, kDropped };

    // A unit starts at p: a string or a character literal.
    static bool Opens(const char* p) {
        return p[0] == '"' || (p[0] == '#' && p[1] == '\\');
    }
    // Just after a string's opening '"'.
    static UnitScan InString() {
        UnitScan u;
        u.state = kString;
        return u;
    }

    bool inString() const { return state == kString || state == kEscape; }
    // In a string, the last byte was the backslash escaping the next one.
    bool escaped() const { return state == kEscape; }
    bool inComment() const { return state == kComment; }
    // In ordinary text, after no '#' that could start a literal.
    bool atText() const { return state == kText; }

    Role take(char c) {
        switch (state) {
            case kComment:
                if (c != '\n') return kDropped;
                state = kText;
                return kCode;
            case kString:
                if (c == '\\')
                    state = kEscape;
                else if (c == '"')
                    state = kText;
                return kQuoted;
            case kEscape: state = kString; return kQuoted;
            case kLiteral: state = kText; return kQuoted;
            case kHash:
                if (c == '\\') {
                    state = kLiteral;
                    return kCode;
                }
                break;
            case kText: break;
        }
        if (c == '"') {
            state = kString;
            return kQuoted;
        }
        if (c == ';') {
            state = kComment;
            return kDropped;
        }
        state = c == '#' ? kHash : kText;
        return kCode;
    }

    // From inside a unit (or at its first byte), the position after it:
    // null when a string never closes before the text's NUL.
    char* finish(char* p) {
        do {
            if (*p == 0) return inString() ? nullptr : p;
            take(*p++);
        } while (!atText());
        return p;
    }

private:
    // kHash: ordinary text just after a '#'; kLiteral: after #\, the next
    // byte is the literal's; kEscape: in a string, after a backslash.
    enum State : unsigned char {
        kText,
        kHash,
        kLiteral,
        kString,
        kEscape,
        kComment
    };
    State state = kText;
};

// At a unit, the position after it, null when its string never closes;
// anywhere else p itself. Inline, since every in-place pass calls it at
// each byte and most bytes start no unit.
inline char* SkipUnit(char* p) {
    if (!UnitScan::Opens(p)) return p;
    return UnitScan().finish(p);
}

// Given the position just after an opening double quote, the position just
// after the closing one, or null when the text ends first.
inline char* SkipDoubleQuote(char* p) { return UnitScan::InString().finish(p); }

// From p with a depth counter starting at 0, stepping over units:
// 1 at the ')' that brings the depth from 1 to 0 (*end just after it),
// -1 at a ')' met at depth 0, 0 when a string never closes, 2 at the end.
int ScanDepth(char* p, char** end);

// End of the expression at p: just after the ')' closing a list (null
// when it never closes); for an atom, the first blank, '(' or ')'
// outside units, or the end of the text.
char* ExprEnd(char* p);

#endif  // TAMARISK_READER_SCAN_H
