# Three-column TEXT extraction in plain awk, as a user without velunt-cli would write it,
# producing the same table as velunt-cli with the bench velunt.ini and its default options:
# a header line "RW;HW;Text;Index", then per TEXT object the values after the " 10",
# " 20" and "  1" lines (awaited in that order), trimmed of spaces, "%%c" turned into "0",
# and a running counter.
#
#   mawk -f extract_text.awk big.dxf > big.awk.txt
#
# A line is written when the next TEXT object starts (and at the end for the last one), so
# that the first line written is the header, the way velunt-cli builds its lines.

BEGIN {
    RS = "\r\n"
    ORS = "\r\n"
    FS = "\r"  # never inside a record: splitting a record into fields costs nothing
    key[0] = " 10"; key[1] = " 20"; key[2] = "  1"
    field[0] = "RW"; field[1] = "HW"; field[2] = "Text"
    nkeys = 3
    count = 0
    inobj = 0
    next_key = 0
}

function emit(   line) {
    line = field[0] ";" field[1] ";" field[2]
    if (count > 0) line = line ";" count
    else line = line ";Index"
    print line
}

$0 == "  0" {
    getline
    if ($0 == "TEXT") {
        inobj = 1
        emit()
        count++
        field[0] = ""; field[1] = ""; field[2] = ""
        next_key = 0
    } else {
        inobj = 0
    }
}

inobj && $0 == key[next_key] {
    getline
    v = $0
    gsub(/%%c/, "0", v)
    gsub(/^ +| +$/, "", v)
    field[next_key] = v
    next_key++
    if (next_key == nkeys) inobj = 0
}

END {
    if (count > 0) {
        emit()
    } else {
        print field[0] ";" field[1] ";" field[2]
    }
}
