# Rewrites the traditional syslog stamp "Mon dd hh:mm:ss " at the start of a
# line into an RFC 3339 stamp of the same wall-clock time in year `year`
# with the offset `offset` ("+01:00", "Z", ...). With `forms=1` the stamps
# rotate through the forms rsyslog and journal exports write (fraction,
# colon-less offset, Z; a Z stamp is only used when the offset is zero).
# With `mixed=1` only every other line is rewritten. Lines without a valid
# traditional stamp are left as they are, and so are lines too short to be
# read or long enough to be read in pieces, whose handling the length decides.
BEGIN {
    split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", names, " ")
    for (i = 1; i <= 12; i++) month[names[i]] = i
    split("31 28 31 30 31 30 31 31 30 31 30 31", days, " ")
    if ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) days[2] = 29
}
function stamp(m, d, hms, n,    base, plain) {
    base = sprintf("%04d-%02d-%02dT%s", year, m, d, hms)
    if (!forms) return base offset
    n = n % 4
    plain = offset
    if (n == 1) return base ".123456" offset
    if (n == 2) { sub(/:/, "", plain); return base plain }
    if (n == 3 && (offset == "+00:00" || offset == "Z")) return base "Z"
    return base offset
}
{
    if ((!mixed || NR % 2 == 0) && length($0) >= 30 && length($0) < 4000 && match($0, /^[A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] /)) {
        m = month[substr($0, 1, 3)]
        d = substr($0, 5, 2) + 0
        hms = substr($0, 8, 8)
        split(hms, t, ":")
        if (m > 0 && d >= 1 && d <= days[m] && t[1] + 0 <= 23 && t[2] + 0 <= 59 && t[3] + 0 <= 59) {
            print stamp(m, d, hms, NR) substr($0, 16)
            next
        }
    }
    print
}
