#include "np_lex.h"

#include <cerrno>
#include <cstdio>
#include <new>

struct NpLex {
    FILE* fp = nullptr;
    std::string line;
};

namespace {
constexpr size_t kMaxLine = 1 << 20;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
}  // namespace

int np_lex_init(NpLex** lex, const char* path) {
    if (!lex) return NP_LEX_ENOMEM;
    *lex = nullptr;
    FILE* fp = path ? std::fopen(path, "rb") : nullptr;
    if (!fp) return NP_LEX_EOPEN;
    NpLex* l = new (std::nothrow) NpLex;
    if (!l) {
        std::fclose(fp);
        return NP_LEX_ENOMEM;
    }
    l->fp = fp;
    *lex = l;
    return NP_LEX_OK;
}

int np_lex_line(NpLex* lex) {
    if (!lex || !lex->fp) return NP_LEX_EREAD;
    lex->line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(lex->fp)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (c == '\0' || lex->line.size() >= kMaxLine) return NP_LEX_ELINE;
        lex->line += static_cast<char>(c);
    }
    if (std::ferror(lex->fp)) return NP_LEX_EREAD;
    if (!any) return NP_LEX_EOF;
    if (!lex->line.empty() && lex->line.back() == '\r') lex->line.pop_back();
    return NP_LEX_OK;
}

int np_lex_split(NpLex* lex, NpLexLine* out) {
    if (!lex) return NP_LEX_ESYNTAX;
    return np_lex_split_text(lex->line, out);
}

int np_lex_split_text(const std::string& text, NpLexLine* out) {
    if (!out) return NP_LEX_ESYNTAX;
    *out = NpLexLine();
    size_t i = 0, n = text.size();
    bool afterEquals = false;
    while (true) {
        while (i < n && isSpace(text[i])) ++i;
        if (i >= n) break;
        std::string token;
        if (text[i] == '=') {
            if (afterEquals) return NP_LEX_ESYNTAX;
            afterEquals = true;
            out->hasEquals = true;
            ++i;
            continue;
        }
        if (text[i] == '\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == '\'') {
                    if (i + 1 < n && text[i + 1] == '\'') {
                        token += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token += text[i++];
            }
            if (!closed) return NP_LEX_ESYNTAX;
        } else {
            while (i < n && !isSpace(text[i]) && text[i] != '=' && text[i] != '\'') token += text[i++];
        }
        (afterEquals ? out->values : out->names).push_back(token);
    }
    out->blank = out->names.empty() && out->values.empty() && !out->hasEquals;
    return NP_LEX_OK;
}

void np_lex_clean(NpLex* lex) {
    if (!lex) return;
    if (lex->fp) std::fclose(lex->fp);
    delete lex;
}
