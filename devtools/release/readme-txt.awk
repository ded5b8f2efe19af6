# Turns the user's part of README.md (everything before "## For developers")
# into plain text for Notepad: paragraphs and list items wrapped at 78
# columns (commands are never broken), headings underlined, each table row
# as "Column: value" lines, links as their text, pictures as a note of
# their file in the zip, no Markdown marks. Line ends and code page are the
# caller's business.
# With -v files=1 it prints instead, one line each, every file of the
# source that the text names and the name it has in the zip.

BEGIN { WIDTH = 78 }

/^## For developers$/ { exit }

# Where a file of the source that README.txt names lies in the zip:
# pictures in pictures/ as PNG (XP's picture viewer cannot open SVG), any
# other file beside the programs. A link to a page or a section is no file.
function shipped(target,    name) {
    if (target ~ /^#|:\/\//)
        return ""
    name = target
    sub(/.*\//, "", name)
    if (name !~ /\.(svg|png)$/)
        return name
    sub(/\.svg$/, ".png", name)
    return "pictures/" name
}

# As Windows writes a path.
function windows(path) {
    gsub(/\//, "\\", path)
    return path
}

# Inline marks: a picture becomes a note, a link its text, bold text is
# quoted like the program's own texts, code marks go.
function plain(text,    out, alt, target, label, at, middle, file) {
    out = ""
    while (match(text, /!?\[[^]]*\]\([^)]*\)/)) {
        at = substr(text, RSTART, RLENGTH)
        middle = index(at, "](")
        label = substr(at, 1, middle - 1)
        target = substr(at, middle + 2, length(at) - middle - 2)
        file = shipped(target)
        if (file != "" && files && !listed[target]++)
            print target, file
        if (substr(label, 1, 1) == "!") {
            alt = substr(label, 3)
            at = "[Picture: " alt ": " windows(file) "]"
        } else {
            label = substr(label, 2)
            # A link within the README is its section's name; one to a file
            # names the file in the zip.
            if (label == target || substr(target, 1, 1) == "#")
                target = ""
            if (file != "")
                label = target == "" ? windows(file) : label " (" windows(file) ")"
            at = target == "" || file != "" ? label : label " (" target ")"
        }
        out = out substr(text, 1, RSTART - 1) at
        text = substr(text, RSTART + RLENGTH)
    }
    text = out text
    gsub(/\*\*/, "\"", text)
    gsub(/`/, "", text)
    return text
}

# Prints words wrapped to WIDTH: the first line starts with first, the
# others with indent.
function wrap(words, first, indent,    n, word, line, i, fresh) {
    n = split(words, word, " ")
    line = first
    fresh = 1
    for (i = 1; i <= n; i++) {
        if (!fresh && length(line) + 1 + length(word[i]) > WIDTH) {
            emit(line)
            line = indent
            fresh = 1
        }
        line = fresh ? line word[i] : line " " word[i]
        fresh = 0
    }
    if (!fresh)
        emit(line)
}

# Blank lines are held back until more text follows: one between blocks,
# none at the end.
function emit(line) {
    if (files)
        return
    if (gap && printed)
        print ""
    gap = 0
    printed = 1
    print line
}

function flush() {
    if (para != "")
        wrap(plain(para), first, indent)
    para = ""
}

function spaces(n,    s) {
    s = ""
    while (n-- > 0)
        s = s " "
    return s
}

# The cells of a table row, without the outer bars and padding.
function cells(row, cell,    n, i) {
    sub(/^\|/, "", row)
    sub(/\|$/, "", row)
    n = split(row, cell, "|")
    for (i = 1; i <= n; i++) {
        gsub(/^ +| +$/, "", cell[i])
        cell[i] = plain(cell[i])
    }
    return n
}

/^[ \t]*$/ {
    flush()
    columns = 0
    rows_printed = 0
    gap = 1
    blank = 1
    code = 0
    next
}
{ wasblank = blank; blank = 0 }

/^#+ / {
    flush()
    level = index($0, " ") - 1
    title = plain(substr($0, level + 2))
    emit(title)
    underline = title
    gsub(/./, level == 1 ? "=" : level == 2 ? "-" : "~", underline)
    emit(underline)
    next
}

# A table: the first row names the columns, the second only marks their
# alignment, every other row becomes one block.
/^\|/ {
    flush()
    if (columns == 0) {
        columns = cells($0, header)
        rule = 1
        next
    }
    if (rule) {
        rule = 0
        next
    }
    n = cells($0, cell)
    if (rows_printed++)
        gap = 1
    for (i = 1; i <= n; i++)
        if (cell[i] != "")
            wrap(header[i] ": " cell[i], i == 1 ? "" : "    ", "        ")
    next
}

# Indented after a blank line: an example to show as it is.
(wasblank || code) && /^    / {
    code = 1
    emit($0)
    next
}

/^(- |[0-9]+\. )/ {
    flush()
    marker = substr($0, 1, index($0, " "))
    first = marker
    indent = spaces(length(marker))
    para = substr($0, length(marker) + 1)
    next
}

{
    line = $0
    sub(/^ +/, "", line)
    if (para == "") {
        first = ""
        indent = ""
        para = line
    } else {
        para = para " " line
    }
}

END { flush() }
