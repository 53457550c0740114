#!/usr/bin/env python3
"""Checks the JSON lines of a qz-host run (standard input).

values: every station delivered values: its message counter or its values
        are present, and the line counted answers.
sleep STATION: the station's no-answer count rose and the event list showed
        its sleep mode starting.
"""
import json
import sys


def readings():
    out = []
    for line in sys.stdin:
        line = line.strip()
        if line.startswith('{"t"'):
            out.append(json.loads(line))
    if not out:
        sys.exit("no readings from qz-host")
    return out


def delivered(station):
    if any(v is not None for v in station["status"].values()):
        counter = station["status"].get("MsgCounter")
        if counter is not None and counter <= 0:
            return False
    values = station["ai"] + station["ct"] + station["mi"] + station["mo"]
    bits = station["bi"] + station["bo"]
    return any(v is not None for v in values) or (bits and "?" not in bits)


def check_values(rs):
    last = rs[-1]
    missing = [s["name"] for s in last["stations"] if not delivered(s)]
    if missing:
        sys.exit("no values from: " + ", ".join(missing))
    received = [l for l in last["window"]["status"] if l.startswith("Kom.zpráv")]
    print("every station delivered values;", received[0] if received else "")


def check_sleep(rs, number):
    counts = [next(s for s in r["stations"] if s["n"] == number)["status"].get("ErrorNoAnswer") for r in rs]
    counts = [c for c in counts if c is not None]
    if len(counts) < 2 or counts[-1] <= counts[0]:
        sys.exit(f"no-answer count did not rise: {counts}")
    name = next(s for s in rs[-1]["stations"] if s["n"] == number)["name"]
    events = [e for r in rs for e in r["window"]["events"]]
    if not any(e.startswith(name) and "start módu \"sleep\"" in e for e in events):
        sys.exit(f"no sleep start of {name} in the event list: {events[-12:]}")
    others = [s for s in rs[-1]["stations"] if s["n"] != number and s["status"].get("ErrorNoAnswer")]
    if others:
        sys.exit("other stations failed too: " + ", ".join(s["name"] for s in others))
    print(f"{name}: no-answer count {counts[0]} -> {counts[-1]}, sleep mode shown")


def main():
    rs = readings()
    if sys.argv[1] == "values":
        check_values(rs)
    elif sys.argv[1] == "sleep":
        check_sleep(rs, int(sys.argv[2]))
    else:
        sys.exit("unknown check " + sys.argv[1])


main()
