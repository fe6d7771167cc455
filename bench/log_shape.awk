# log_shape.awk: the shape of a sendmail log, to check what the log
# generator's options make of it. Prints one line of figures:
#
#   lines N senders N recipients N relays N ruleset_rejects N milter_rejects N milter N
#
# senders: distinct from=<...> addresses; recipients: distinct addresses of
# to=<...> lists; relays: distinct [addresses] of relay= fields (clients and
# MXs); ruleset_rejects and milter_rejects: lines with ruleset=... or
# Milter... and reject=; milter: every line with "Milter".
#
#   awk -f bench/log_shape.awk LOG
{
    line = $0
    while (match(line, /from=<[^>]*>/)) {
        sender[substr(line, RSTART + 5, RLENGTH - 5)]
        line = substr(line, RSTART + RLENGTH)
    }
    line = $0
    if (match(line, /to=<[^ ]*>/)) {
        n = split(substr(line, RSTART + 3, RLENGTH - 3), list, ",")
        for (i = 1; i <= n; i++)
            recipient[list[i]]
    }
    line = $0
    while (match(line, /relay=[^,]*/)) {
        relay_value = substr(line, RSTART + 6, RLENGTH - 6)
        line = substr(line, RSTART + RLENGTH)
        if (match(relay_value, /\[[^]]*\]/))
            relay[substr(relay_value, RSTART, RLENGTH)]
    }
    if (index($0, "reject=")) {
        if (index($0, "ruleset="))
            ++ruleset_rejects
        else if (index($0, "Milter"))
            ++milter_rejects
    }
    if (index($0, "Milter"))
        ++milter
}

END {
    for (k in sender) ++senders
    for (k in recipient) ++recipients
    for (k in relay) ++relays
    printf "lines %d senders %d recipients %d relays %d ruleset_rejects %d milter_rejects %d milter %d\n",
        NR, senders, recipients, relays, ruleset_rejects, milter_rejects, milter
}
