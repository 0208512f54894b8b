// Line lexer of name = value files. A line splits into name tokens (bare words or quoted),
// the '=' token and value tokens. Values are bare words or single-quoted texts in which a
// doubled quote stands for one quote; the quoting is undone.
#ifndef NP_LEX_H
#define NP_LEX_H

#include <string>
#include <vector>

enum NpLexResult {
    NP_LEX_OK = 0,
    NP_LEX_ENOMEM = 1,     // out of memory
    NP_LEX_ELINE = 2,      // a line could not be read (too long, or contains a zero byte)
    NP_LEX_EOPEN = 3,      // the file could not be opened
    NP_LEX_EREAD = 4,      // reading failed
    NP_LEX_EOF = 5,        // no more lines
    NP_LEX_ESYNTAX = 6,    // a line could not be split (unterminated quote, misplaced '=')
};

struct NpLex;

struct NpLexLine {
    std::vector<std::string> names;
    bool hasEquals = false;
    std::vector<std::string> values;
    bool blank = false;  // only white space
};

int np_lex_init(NpLex** lex, const char* path);
// Reads the next line; NP_LEX_OK, NP_LEX_EOF or a failure code.
int np_lex_line(NpLex* lex);
// Splits the current line.
int np_lex_split(NpLex* lex, NpLexLine* out);
// Splits a given text (used by np_lex_split and tests).
int np_lex_split_text(const std::string& text, NpLexLine* out);
void np_lex_clean(NpLex* lex);

#endif
