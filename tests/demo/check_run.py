#!/usr/bin/env python3
"""Checks the JSON lines of a qz-host run (standard input).

values: every station delivered values: its message counter or its values
        are present, the line counted answers; and the lines are well formed:
        numbers and time stamps in every reading, the files named at the
        start and the end, and every answer's event reported exactly once.
sleep STATION: the station's no-answer count rose, the event list showed
        its sleep mode starting and the harness shows it asleep.
commands N: N commands were given and each has its own result; the
        refusals named in the run script were refused.
"""
import json
import re
import sys

ISO = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}$")
ANSWER = "<<<-- "


def lines():
    out = []
    for line in sys.stdin:
        line = line.strip()
        if line.startswith("{"):
            out.append(json.loads(line))
    return out


def readings(objs):
    rs = [o for o in objs if "stations" in o]
    if not rs:
        sys.exit("no readings from qz-host")
    return rs


def delivered(station):
    if any(v is not None for v in station["status"].values()):
        counter = station["status"].get("MsgCounter")
        if counter is not None and counter <= 0:
            return False
    values = station["ai"] + station["ct"] + station["mi"] + station["mo"]
    bits = station["bi"] + station["bo"]
    return any(v is not None for v in values) or (bits and "?" not in bits)


def number(value, what):
    if not isinstance(value, (int, float)) or isinstance(value, bool):
        sys.exit(f"{what} is not a number: {value!r}")
    return value


def check_format(objs, rs):
    for phase in ("start", "end"):
        marks = [o for o in objs if o.get(phase)]
        if len(marks) != 1 or not marks[0]["files"]["hdb"] or not marks[0]["files"]["cuc"]:
            sys.exit(f"the files are not named once at the {phase}: {marks}")
    last_t = -1
    for r in rs:
        if not ISO.match(r["time"]) or number(r["t"], "t") < last_t:
            sys.exit(f"bad time stamp: {r['t']} {r['time']}")
        last_t = r["t"]
        for e in r["events"]:
            if not ISO.match(e["time"]) or number(e["t"], "event t") > r["t"] + 0.001:
                sys.exit(f"bad event stamp: {e}")
    for name, value in rs[-1]["statistics"].items():
        number(value, "statistics " + name)
    for name, value in rs[-1]["line"].items():
        number(value, "line value " + name)
    for s in rs[-1]["stations"]:
        if s["state"] not in ("answering", "not answering", "asleep", "waiting"):
            sys.exit(f"unknown state of {s['name']}: {s['state']}")
    # Each answer leaves one event: reported once, the events count the answers.
    answers = sum(1 for r in rs for e in r["events"] if e["text"].lstrip().startswith(ANSWER))
    received = rs[-1]["line"]["received"]
    if abs(received - answers) > 2:
        sys.exit(f"{answers} answer events reported for {received:.0f} answers received")
    return answers, received


def check_values(objs):
    rs = readings(objs)
    last = rs[-1]
    missing = [s["name"] for s in last["stations"] if not delivered(s)]
    if missing:
        sys.exit("no values from: " + ", ".join(missing))
    answering = {s["n"] for r in rs for s in r["stations"] if s["state"] == "answering"}
    silent = [s["name"] for s in last["stations"] if s["n"] not in answering]
    if silent:
        sys.exit("never shown answering: " + ", ".join(silent))
    answers, received = check_format(objs, rs)
    st = last["statistics"]
    print(f"every station delivered values; sent {st['sent']:.0f}, received {st['received']:.0f}, "
          f"errors {st['errors']:.0f}; {answers} answer events for {received:.0f} answers")


def check_sleep(objs, number_):
    rs = readings(objs)
    counts = [next(s for s in r["stations"] if s["n"] == number_)["status"].get("ErrorNoAnswer") for r in rs]
    counts = [c for c in counts if c is not None]
    if len(counts) < 2 or counts[-1] <= counts[0]:
        sys.exit(f"no-answer count did not rise: {counts}")
    station = next(s for s in rs[-1]["stations"] if s["n"] == number_)
    name = station["name"]
    events = [e["text"] for r in rs for e in r["events"]]
    if not any(e.startswith(name) and "start módu \"sleep\"" in e for e in events):
        sys.exit(f"no sleep start of {name} in the event list: {events[-12:]}")
    if station["state"] != "asleep":
        sys.exit(f"{name} is shown {station['state']}, not asleep")
    others = [s for s in rs[-1]["stations"] if s["n"] != number_ and s["status"].get("ErrorNoAnswer")]
    if others:
        sys.exit("other stations failed too: " + ", ".join(s["name"] for s in others))
    print(f"{name}: no-answer count {counts[0]} -> {counts[-1]}, sleep mode shown, state asleep")


def check_commands(objs, given):
    results = [o for o in objs if "command" in o]
    if len(results) != given:
        sys.exit(f"{given} commands given, {len(results)} results: {[r['command'] for r in results]}")
    refused = {"w 99999 1", "q 97", "hist 9 1", "hist 1 9"}
    wrong = [r for r in results if (r["command"] in refused) == r["ok"]]
    if wrong:
        sys.exit("wrongly taken or refused: " + "; ".join(f"{r['command']}: {r['result']}" for r in wrong))
    bo = readings(objs)[-1]["stations"][0]["bo"]
    if not bo.startswith("1"):
        sys.exit(f"the write of BO 1 did not arrive: {bo}")
    print(f"{given} commands, {given} results; refused: " + "; ".join(r["result"] for r in results if not r["ok"]))


def main():
    objs = lines()
    if sys.argv[1] == "values":
        check_values(objs)
    elif sys.argv[1] == "sleep":
        check_sleep(objs, int(sys.argv[2]))
    elif sys.argv[1] == "commands":
        check_commands(objs, int(sys.argv[2]))
    else:
        sys.exit("unknown check " + sys.argv[1])


main()
