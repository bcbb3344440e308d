// The library written in the dialect itself, beyond the prelude: texts
// evaluated the first time a name they define is used (see
// cfunction::FunctionOf). Start-up reads none of them, so the library can
// grow without slowing the start of a session.
//
// Each entry names one function or macro and holds one complete top-level
// expression that defines it (a PROGN may define its private helpers as
// well). A helper of the library that a user should not collide with
// carries a `$` in its name, as the prelude's do. The texts are read the
// way the prelude's are: everything outside strings and character literals
// is upper-cased, and `;` is an ordinary character, so they hold no
// comments; the notes in their files stand in for them.
#ifndef TAMARISK_LIBRARY_LISPTEXT_H
#define TAMARISK_LIBRARY_LISPTEXT_H

struct LispText {
    const char* name;   // upper case, as the reader interns it
    const char* text;
};

// One table per file of texts; each ends with an entry whose name is null.
extern const LispText kFormTexts[];
extern const LispText kToolTexts[];
extern const LispText kFormatTexts[];
extern const LispText kConditionTexts[];
extern const LispText kIntegerTexts[];
extern const LispText kSortTexts[];
extern const LispText kStreamTexts[];
extern const LispText kTableTexts[];
extern const LispText kLoopTexts[];
extern const LispText kNumberTexts[];
extern const LispText kSequenceTexts[];
extern const LispText kStructTexts[];
extern const LispText kPlistTexts[];
extern const LispText kStringTexts[];
extern const LispText kStringStreamTexts[];
extern const LispText kObjectTexts[];

// Every table, ending with null.
extern const LispText* const kLispTextTables[];

// The reference text of a built-in or library name: the line that follows
// its entry's heading in each guide, without backquotes. The table is made
// at build time by library/gendoc.py from docs/guide.ja.md and
// docs/guide.en.md, so it says what the guides say; it ends with an entry
// whose name is null.
struct DocText {
    const char* name;   // upper case, as in the heading
    const char* ja;
    const char* en;     // null: the English guide has no entry
};
extern const DocText kDocTexts[];

#endif  // TAMARISK_LIBRARY_LISPTEXT_H
