# Rewrites one of doxygen's section-3 pages so that it reads like a manual
# page and passes "mandoc -T lint": the page's own title and date, every name
# it documents in NAME, the #include line in SYNOPSIS, no empty paragraphs or
# stray blank lines, no font mandoc does not know, and a SEE ALSO section in
# place of doxygen's credit.
# Variables: title, date, version, header (e.g. morven/smap.h), names.

function emit(line) {
    print line
    last = line
}

# Paragraph macros wait until text follows; a heading or the end drops them.
function flush_paragraph(next_line) {
    if (pending == "") return
    if (next_line !~ /^\.(SH|SS|RE)( |$)/ && next_line != "") emit(pending)
    pending = ""
}

BEGIN {
    last = ".TH"; pending = ""; section = ""; fill = 1
    heading["Detailed Description"] = "DESCRIPTION"
    heading["Data Structure Documentation"] = "DATA STRUCTURES"
    heading["Macro Definition Documentation"] = "MACROS"
    heading["Typedef Documentation"] = "TYPES"
    heading["Enumeration Type Documentation"] = "CONSTANTS"
    heading["Function Documentation"] = "FUNCTIONS"
}

NR == 1 {
    emit(".TH \"" title "\" 3 \"" date "\" \"MORVEN " version "\" \"MORVEN Reference Manual\"")
    next
}

# A literal backslash, "\\" from doxygen, must survive macro arguments too.
{
    gsub(/\\\\/, "\\e")
    gsub(/zzDQzz/, "\\(dq")
    gsub(/\\fC/, "\\fB")
}

/^\.SH / {
    section = $0
    sub(/^\.SH "?/, "", section)
    sub(/"$/, "", section)
    if (section == "Author") exit
    if (section ~ /^(struct|union|enum) /) {
        flush_paragraph(".SS")
        emit(".SS \"" section "\"")
        next
    }
    flush_paragraph($0)
    if (section in heading) $0 = ".SH \"" heading[section] "\""
    emit($0)
    if (section == "NAME") {
        getline description
        sub(/^[^\\]*\\- /, "", description)
        sub(/[ \t]+$/, "", description)
        sub(/\\&\.$/, "", description)
        emit(names " \\- " description)
    } else if (section == "SYNOPSIS") {
        emit(".B #include <" header ">")
        while ((getline line) > 0 && line !~ /^\.SS /) {}
        emit(line)
    }
    next
}

/^\.nf/ { fill = 0 }
/^\.fi/ { fill = 1 }

/^$/ && fill { $0 = ".PP" }

/^\.(PP|br|sp)[ \t]*$/ {
    if (last ~ /^\.(TH|SH|SS|PP|br|sp|RS|in)( |$)/) next
    if (pending == "" || $0 ~ /^\.PP/) pending = $1
    next
}

{
    flush_paragraph($0)
    if (fill && $0 !~ /^\./) sub(/^[ \t]+/, "")
    if ($0 ~ /^'/) $0 = "\\&" $0
    emit($0)
}

END {
    pending = ""
    print ".SH \"SEE ALSO\""
    print ".BR morven (3)"
}
