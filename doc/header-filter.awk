# Feeds a public header to doxygen with the markup it needs, leaving the
# header itself untouched:
# - the file's top comment "/* MORVEN: what ... */" becomes its @file block;
# - a trailing "/* ... */" after a member or enumerator documents it;
# - one "/** ... */" before several declarations documents each of them;
# - comment text is escaped, so "%s", "<file>", '\n', "#" and '"' read as written,
#   and a `name` in back quotes is emphasised;
# - an indented block that is not part of a "-" list stays preformatted.

# A word that starts with "@" and a letter is doxygen markup that a header
# asks for ("@file", "@c"); any other "@" is text.
function escape(text,    out) {
    gsub(/[\\%<>&#$@]/, "\\\\&", text)
    text = " " text
    out = ""
    while (match(text, /[ \t]\\@[A-Za-z]/)) {
        out = out substr(text, 1, RSTART) "@"
        text = substr(text, RSTART + 3)
    }
    text = substr(out text, 2)
    gsub(/"/, QUOTE, text)
    # `name` marks a parameter or member: emphasised, as manual pages do.
    while (match(text, /`[A-Za-z0-9_]+`/))
        text = substr(text, 1, RSTART - 1) "@e " substr(text, RSTART + 1, RLENGTH - 2) \
               substr(text, RSTART + RLENGTH)
    return text
}

# Writes one line of comment text; `opener` and `closer` are already split off.
function comment_line(opener, text, closer,    body, line) {
    if (text ~ /^ \*?   /) {
        body = text
        sub(/^ \*? /, "", body)
        if (!in_block && !in_list) {
            print " * @verbatim"
            in_block = 1
        }
        if (in_block) {
            # Doxygen keeps a verbatim line whole, so the " * " goes here.
            gsub(/"/, QUOTE, body)
            print body
            docs = docs "\n" body
            return
        }
    } else if (in_block) {
        print "@endverbatim"
        docs = docs "\n@endverbatim"
        in_block = 0
    }
    if (text ~ /^ \*? - /) in_list = 1
    else if (text !~ /^ \*?   /) in_list = 0
    line = opener escape(text) closer
    print line
    docs = (docs == "" ? line : docs "\n" line)
}

# Splits a line inside or opening a comment into opener, text and closer.
function comment(line, first,    opener, text, closer, at) {
    opener = ""
    text = line
    if (first) {
        at = index(text, "/*")
        opener = substr(text, 1, at - 1) "/**"
        text = substr(text, at + 2)
        sub(/^\*/, "", text)
    }
    closer = ""
    at = index(text, "*/")
    if (at > 0) {
        closer = substr(text, at)
        text = substr(text, 1, at - 1)
    }
    if (in_block && closer != "") {
        # The comment ends inside a preformatted block: close the block first.
        comment_line(opener, text, "")
        if (in_block) {
            print "@endverbatim"
            docs = docs "\n@endverbatim"
            in_block = 0
        }
        print " */"
        docs = docs "\n */"
        return 0
    }
    comment_line(opener, text, closer)
    return closer == ""
}

# Doxygen's pages would turn '"' into "'"; the pages' tidy-up puts it back.
BEGIN { QUOTE = "zzDQzz"; in_comment = 0; seen_file = 0; after_decl = 0; in_decl = 0; docs = "" }

in_comment {
    in_comment = comment($0, 0)
    next
}

!seen_file && /^\/\* MORVEN: / {
    seen_file = 1
    print "/** @file"
    docs = ""
    in_list = 0
    sub(/^\/\* MORVEN: /, " * ")
    in_comment = comment($0, 0)
    next
}

/^[ \t]*\/\*\*/ {
    after_decl = 0
    docs = ""
    in_list = 0
    in_comment = comment($0, 1)
    next
}

/^[ \t]*MV_API[ \t]/ {
    if (after_decl) print docs
    in_decl = 1
}

in_decl {
    if (index($0, ";")) { in_decl = 0; after_decl = 1 }
    print
    next
}

/^[ \t]*[^ \t\/#].*\/\*.*\*\/[ \t]*$/ && index($0, "/**") == 0 {
    at = index($0, "/*")
    body = substr($0, at + 2)
    sub(/[ \t]*\*\/[ \t]*$/, "", body)
    print substr($0, 1, at - 1) "/**<" escape(body) " */"
    after_decl = 0
    next
}

{
    after_decl = 0
    print
}
