"""The panel's desktop notifications through a real notification service: dunst on a private
session bus (ctest runs this under dbus-run-session) and a private Xvfb, the panel against
tellurix-sim replaying a receiver that loses its fix every 20 service seconds, at three service
seconds a real second. dunstctl's history must come to hold two lock-lost and two regained
notifications with the panel's name and texts, none from the first 30 s, no more than one of a kind
a minute, each regained one in the place (the id) of the lost one before it.
With --shot FILE it saves the screen with a notification on it instead."""
import json
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../e2e"))
import e2elib  # noqa: E402

# The first lock is lost some 150 service seconds (50 s) in, the second time is told 60 s later
# (within a fix-loss cycle, 7 s), each regained 10 service seconds (3 s) after.
DEADLINE = 180
DUNSTRC = """[global]
    font = DejaVu Sans 10
    geometry = "420x5-10+10"
    origin = top-right
    offset = 10x10
    timeout = 1
    idle_threshold = 0
    show_age_threshold = -1
    history_length = 100
"""


def history(session):
    out = session.run(["dunstctl", "history"], timeout=10).stdout
    items = json.loads(out or b'{"data": [[]]}')["data"][0]
    return sorted(({k: v["data"] for k, v in item.items()} for item in items), key=lambda n: n["timestamp"])


def main():
    shot = sys.argv[2] if len(sys.argv) > 2 and sys.argv[1] == "--shot" else None
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        sys.exit("run under dbus-run-session")
    session = e2elib.Session()
    ok = False
    try:
        rc = os.path.join(session.tmp, "dunstrc")
        open(rc, "w").write(DUNSTRC.replace("timeout = 1", "timeout = 60") if shot else DUNSTRC)
        session.procs.append(subprocess.Popen(["dunst", "-config", rc], env=session.env,
                                              stdout=subprocess.DEVNULL, stderr=open(session.tmp + "/dunst.log", "w")))
        # Asked before it owns its name, the bus would start another dunst without the display.
        session.run(["dbus-update-activation-environment", "DISPLAY=" + session.env["DISPLAY"]])
        owner = ["dbus-send", "--print-reply=literal", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.Notifications"]
        if not e2elib.wait_for(lambda: b"true" in session.run(owner).stdout, 10):
            sys.exit("dunst did not start")
        session.start_service("--replay", os.path.join(e2elib.SOURCE, "tests/data/um621-fixloss.nmea"), "--rate", "3")
        started = time.monotonic()
        session.start_panel()
        if shot:
            e2elib.wait_for(lambda: session.run(["dunstctl", "count", "displayed"]).stdout.strip() not in (b"", b"0"), 90, 0.5)
            time.sleep(1)
            session.screen(shot)
            ok = True
            return
        # A notification reaches the history once it leaves the screen, a second after it came (with
        # no idle time that keeps it up). The lock comes back after some 3 s: the lost one has left
        # before the regained one takes its place.
        def pairs():
            summaries = [n["summary"] for n in history(session)]
            return sum(s.startswith("Lock lost") for s in summaries) >= 2 and summaries.count("Lock regained") >= 2
        e2elib.wait_for(pairs, DEADLINE - (time.monotonic() - started), 1)
        session.run(["dunstctl", "close-all"])
        seen = [(n["timestamp"] / 1e6 - started, n["appname"], n["summary"], n["body"], n["id"])
                for n in history(session)]
        for s in seen:
            print("%6.1f s  %s | %s | %s | id %d" % s)
        lost = [s for s in seen if s[2].startswith("Lock lost")]
        regained = [s for s in seen if s[2] == "Lock regained"]
        time_re = r" Time: \d\d:\d\d:\d\d\.$"
        checks = [
            (all(s[0] >= 30 for s in seen), "nothing in the first 30 s"),
            (all(s[1] == "Tellurix Panel" for s in seen), "every notification under the panel's name"),
            (len(lost) == 2 and len(regained) == 2, "lock lost and regained announced twice"),
            (all(re.fullmatch(r"(Holdover|Recovery|Synching)\." + time_re, s[3]) for s in lost), "lock-lost texts"),
            (all(re.fullmatch(r"Locked\. Estimated Time Error: [\d.]+ Milliseconds\." + time_re, s[3])
                 for s in regained), "lock-regained texts"),
            (all(b[0] - a[0] >= 59 for kind in (lost, regained) for a, b in zip(kind, kind[1:])), "at most one of a kind a minute"),
            (len(lost) == 2 and re.fullmatch(r"Lock lost \d+ times in \d minutes?", lost[1][2]), "repeated losses summed up"),
            (all(r[4] == ([s[4] for s in lost if s[0] < r[0]] or [None])[-1] for r in regained),
             "lock regained in the place of the lost one"),
        ]
        for good, what in checks:
            session.check(bool(good), what)
        ok = not session.failures
    finally:
        session.close()
    sys.exit(0 if ok else 1)


main()
