#!/usr/bin/env python3
"""The built program read from outside, as a screen reader reads it.

Run by screen_reader_test.sh inside a D-Bus session of its own, on an X
server with a window manager, with an accessibility bus started: it starts
the program itself (once its event listeners are registered, so the program
finds them when it joins the bus) and reads its tree through AT-SPI
(pyatspi), pressing keys with xdotool as a user would:

1. From a folder with a sample dictionary: every control has a Kazakh name
   (the search box, the button, the mode group and its items, the grid's
   table with its column titles, the memo named by its label, the status
   bar); the first panel reads the dictionary's word count; a search from the
   keyboard raises a name change and a text insertion carrying "Сұраныс
   бойынша ..." with the count, while the focus stays in the search box;
   moving the match mode with an arrow key raises the new item's checked and
   focused states, and the box's, the group's and the note's texts name the
   new mode.
2. From an empty folder: the error box reads as an alert "Kalimdar" with
   SQLite's message and its OK button focused; once it is closed the focus is
   where it was before (the grid at start, then the button or the search box
   whose search failed).
Each time the window is closed through the window manager and the program
must end with exit code 0.

Every wait ends on the event or the state it waits for, or fails at its own
deadline naming what it waited for. Exits 77 (the test's skip code), naming
what is missing, when the accessibility bus or its registry does not come up.
"""

import argparse
import os
import sqlite3
import subprocess
import sys
import time

SKIP = 77
TITLE = "ORVEN Қазақ тілінің орфографиялық электрондық базасы"
MODES = ["Ішінде кездеседі", "Осы сөзден басталады", "Нақты сөзге тең"]
# Deadlines in seconds: joining the bus and showing the window (the
# sanitizer build starts slowly), and everything else.
START_SECONDS = 60
WAIT_SECONDS = 20


class Failure(Exception):
    pass


def grouped(count):
    """A count as the window writes it: groups of three digits, one space apart."""
    return f"{count:,}".replace(",", " ")


def alive(pid):
    """Whether the process runs (it is not gone, nor ended and not yet reaped)."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def wait_for_bus(launcher_pid, seconds):
    """Waits until the accessibility bus launcher owns its name; skips if it
    ends first or does not within the deadline."""
    from gi.repository import Gio, GLib

    try:
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    except GLib.Error as error:
        print(f"skipped: no D-Bus session bus ({error.message})")
        sys.exit(SKIP)
    deadline = time.monotonic() + seconds
    while True:
        owned = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "NameHasOwner", GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                                  Gio.DBusCallFlags.NONE, -1, None).unpack()[0]
        if owned:
            return
        if not alive(launcher_pid):
            print("skipped: the accessibility bus did not start: at-spi-bus-launcher exited")
            sys.exit(SKIP)
        if time.monotonic() >= deadline:
            print(f"skipped: the accessibility bus (at-spi-bus-launcher) did not start within {seconds} s")
            sys.exit(SKIP)
        # The launcher offers no signal this side can wait on before it owns
        # the name; it is polled.
        time.sleep(0.1)


class Reader:
    """The screen reader's side: the events heard so far and the tree."""

    EVENTS = ["object:property-change:accessible-name", "object:property-change:accessible-description",
              "object:text-changed", "object:state-changed:checked", "object:state-changed:focused",
              "window:activate"]

    def __init__(self, pyatspi, glib):
        self.pyatspi = pyatspi
        self.context = glib.MainContext.default()
        # Wakes the main loop at least every 50 ms, so that a wait notices its
        # deadline while no event comes.
        glib.timeout_add(50, lambda: True)
        self.heard = []
        pyatspi.Registry.registerEventListener(self._hear, *self.EVENTS)

    def _hear(self, event):
        try:
            role, name = event.source.getRoleName(), event.source.name
        except Exception:  # gone already (a closed box)
            role, name = "?", "?"
        data = event.any_data if isinstance(event.any_data, str) else ""
        self.heard.append((event.type, role, name, event.detail1, data))

    def wait(self, what, predicate, seconds=WAIT_SECONDS):
        """Runs the main loop until predicate() gives something true."""
        deadline = time.monotonic() + seconds
        while True:
            try:
                result = predicate()
            except Failure:
                raise
            except Exception:  # an object going away while it is read
                result = None
            if result:
                return result
            if time.monotonic() >= deadline:
                heard = "\n  ".join(map(str, self.heard[-30:])) or "(nothing)"
                raise Failure(f"{what}: not within {seconds} s; last events heard:\n  {heard}")
            self.context.iteration(True)

    def heard_event(self, kind, role, name=None, detail1=None, data=None):
        for event in self.heard:
            if (event[0] == kind and event[1] == role and (name is None or event[2] == name) and
                    (detail1 is None or event[3] == detail1) and (data is None or event[4] == data)):
                return event
        return None

    # --- the tree

    def application(self, pid):
        for app in self.pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return app
        return None

    @staticmethod
    def children(node):
        return [c for c in node if c is not None]

    def find(self, root, role, name=None):
        """The first object below root with the role (and name); a table's cells are not searched."""
        for child in self.children(root):
            if child.getRoleName() == role and (name is None or child.name == name):
                return child
            if child.getRoleName() != "table":
                found = self.find(child, role, name)
                if found:
                    return found
        return None

    def has(self, node, state):
        return node.getState().contains(state)

    def text(self, node):
        text = node.queryText()
        return text.getText(0, text.characterCount)

    def unnamed_focusable(self, root, path=""):
        """Objects that take the focus but have no name, as paths of roles."""
        found = []
        for i, child in enumerate(self.children(root)):
            here = f"{path}/{child.getRoleName()}#{i}"
            if self.has(child, self.pyatspi.STATE_FOCUSABLE) and not child.name:
                found.append(here)
            if child.getRoleName() != "table":
                found += self.unnamed_focusable(child, here)
        return found

    def relation_targets(self, node, relation):
        targets = []
        for r in node.getRelationSet():
            if r.getRelationType() == relation:
                targets += [r.getTarget(i) for i in range(r.getNTargets())]
        return targets


class Session:
    """The program started in a folder, and the keyboard."""

    def __init__(self, args, reader):
        self.args = args
        self.reader = reader
        self.process = None

    def start(self, folder):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        log = open(os.path.join(folder, "..", os.path.basename(folder) + ".log"), "w")
        self.reader.heard.clear()
        self.process = subprocess.Popen([os.path.join(folder, "kalimdar")], cwd=folder, env=env,
                                        stdout=log, stderr=subprocess.STDOUT)
        return self.reader.wait("the program on the accessibility bus",
                                lambda: self.running() and self.reader.application(self.process.pid),
                                START_SECONDS)

    def running(self):
        if self.process.poll() is not None:
            raise Failure(f"the program exited with code {self.process.returncode}")
        return True

    def keys(self, *names):
        subprocess.run([self.args.xdotool, "key", "--clearmodifiers", *names], check=True)

    def type(self, text, into):
        """Types text into the focused box a character at a time, each once the
        box has the one before."""
        for end in range(1, len(text) + 1):
            subprocess.run([self.args.xdotool, "type", text[end - 1]], check=True)
            self.reader.wait(f"{text[:end]!r} typed into the box", lambda: self.reader.text(into) == text[:end])

    def close_and_expect_exit_zero(self):
        subprocess.run([self.args.wmctrl, "-F", "-c", TITLE], check=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
        try:
            code = self.process.wait(WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not exit within {WAIT_SECONDS} s after its window closed")
        self.process = None
        if code != 0:
            raise Failure(f"the program exited with code {code}")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def check(condition, message):
    if not condition:
        raise Failure(message)


def equal(actual, expected, what):
    check(actual == expected, f"{what}: {actual!r}, expected {expected!r}")


def focused(reader, node):
    return reader.has(node, reader.pyatspi.STATE_FOCUSED)


def read_the_window(session, reader, folder, database):
    """Run 1: the names, the counts, a search and a change of mode."""
    pyatspi = reader.pyatspi
    app = session.start(folder)
    frame = reader.wait("the main window", lambda: reader.find(app, "frame", TITLE))
    reader.wait("the main window active", lambda: reader.has(frame, pyatspi.STATE_ACTIVE))

    # 1. Names.
    box = reader.find(frame, "text", "Іздейтін сөз")
    check(box is not None and reader.has(box, pyatspi.STATE_EDITABLE), "no editable text named Іздейтін сөз")
    check(reader.find(frame, "push button", "Іздеу") is not None, "no button named Іздеу")
    group = reader.find(frame, "panel", "Іздеу түрі")
    check(group is not None, "no group named Іздеу түрі")
    equal([c.name for c in reader.children(group) if c.getRoleName() == "radio button"], MODES, "the mode items")
    table = reader.find(frame, "table", "Сөздер кестесі")
    check(table is not None, "no table named Сөздер кестесі")
    columns = table.queryTable()
    equal([columns.getColumnDescription(i) for i in range(columns.nColumns)], ["Сөз", "Сөздік"], "the column titles")
    memo = reader.find(frame, "text", "Дұрыс жазылуы")
    check(memo is not None and reader.has(memo, pyatspi.STATE_MULTI_LINE), "no multi-line text named Дұрыс жазылуы")
    labels = reader.relation_targets(memo, pyatspi.RELATION_LABELLED_BY)
    equal([(l.getRoleName(), l.name) for l in labels], [("label", "Дұрыс жазылуы")], "the memo is labelled by")
    equal([t.name for t in reader.relation_targets(labels[0], pyatspi.RELATION_LABEL_FOR)], ["Дұрыс жазылуы"],
          "the label is the label for")
    equal(reader.unnamed_focusable(frame), [], "objects that take the focus without a name")

    # 2. The status bar: the word count at start.
    bar = reader.find(frame, "status bar", "Күй жолағы")
    check(bar is not None, "no status bar named Күй жолағы")
    panels = reader.children(bar)
    equal(len(panels), 2, "status panels")
    total = f"Базада барлығы {grouped(database.execute('select count(*) from lx_items').fetchone()[0])} сөз бар"
    reader.wait("the first panel's count", lambda: panels[0].name == total)
    equal(reader.text(panels[0]), total, "the first panel's text")

    # The keyboard from the grid, where the focus starts: Ctrl+Tab leaves it.
    reader.wait("the grid focused at start", lambda: focused(reader, table))
    session.keys("ctrl+Tab")
    button = reader.find(frame, "push button", "Іздеу")
    reader.wait("Ctrl+Tab from the grid reaching the button", lambda: focused(reader, button))
    session.keys("Tab")
    reader.wait("Tab reaching the search box", lambda: focused(reader, box))

    # A search from the keyboard, heard without moving the focus.
    word = "аба"
    session.type(word, box)
    matches = database.execute("select count(*) from lx_items where lx_word_upper like ?",
                               (f"%{word.upper()}%",)).fetchone()[0]
    found = f"Сұраныс бойынша {grouped(matches)} сөздік табылды"
    reader.heard.clear()
    session.keys("Return")
    reader.wait("a name change carrying " + found,
                lambda: reader.heard_event("object:property-change:accessible-name", "label", found))
    reader.wait("a text insertion carrying " + found,
                lambda: reader.heard_event("object:text-changed:insert", "label", data=found))
    equal((panels[1].name, reader.text(panels[1])), (found, found), "the second panel after the search")
    check(focused(reader, box), "the focus left the search box during the search")

    # 3. The mode, from the keyboard.
    def descriptions():
        return box.description, group.description

    equal(descriptions(), ("Іздеу түрі: " + MODES[0],) * 2, "the box's and the group's descriptions at start")
    session.keys("Tab")
    first = reader.find(group, "radio button", MODES[0])
    reader.wait("Tab reaching the chosen mode", lambda: focused(reader, first))
    reader.heard.clear()
    session.keys("Right")
    reader.wait("the next mode heard checked",
                lambda: reader.heard_event("object:state-changed:checked", "radio button", MODES[1], 1))
    reader.wait("the next mode heard focused",
                lambda: reader.heard_event("object:state-changed:focused", "radio button", MODES[1], 1))
    second = reader.find(group, "radio button", MODES[1])
    check(reader.has(second, pyatspi.STATE_CHECKED) and not reader.has(first, pyatspi.STATE_CHECKED),
          "the checked states after the arrow key")
    hint = "Іздеу түрі: " + MODES[1]
    reader.wait("the descriptions naming the new mode", lambda: descriptions() == (hint, hint))
    reader.wait("the note below the group naming the new mode", lambda: reader.find(app, "tool tip", hint))

    session.close_and_expect_exit_zero()


def error_boxes(session, reader, folder):
    """Run 2: the error box, and the focus back where it was once it closes."""
    pyatspi = reader.pyatspi
    message = "no such table: lx_items."

    def box_up():
        alert = reader.find(app, "alert", "Kalimdar")
        if not alert:
            return None
        label = reader.find(alert, "label", message)
        ok = reader.find(alert, "push button", "OK")
        return alert if label and ok and focused(reader, ok) else None

    def box_gone():
        return reader.find(app, "alert") is None

    app = session.start(folder)
    reader.wait(f"an alert Kalimdar saying {message!r} with OK focused", box_up)
    session.keys("Return")
    reader.wait("the error box closed", box_gone)
    frame = reader.wait("the main window", lambda: reader.find(app, "frame", TITLE))
    table = reader.find(frame, "table", "Сөздер кестесі")
    reader.wait("the focus in the grid after the box", lambda: focused(reader, table))

    session.keys("ctrl+Tab")
    button = reader.find(frame, "push button", "Іздеу")
    reader.wait("the button focused", lambda: focused(reader, button))
    session.keys("space")
    reader.wait("the box of the button's failed search", box_up)
    session.keys("Return")
    reader.wait("the error box closed", box_gone)
    reader.wait("the focus back on the button", lambda: focused(reader, button))

    # Tab into the search box searches, and fails the same way.
    session.keys("Tab")
    reader.wait("the box of the search box's failed search", box_up)
    session.keys("Return")
    reader.wait("the error box closed", box_gone)
    box = reader.find(frame, "text", "Іздейтін сөз")
    reader.wait("the focus back in the search box", lambda: focused(reader, box))

    session.close_and_expect_exit_zero()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dictionary-folder", required=True)
    parser.add_argument("--empty-folder", required=True)
    parser.add_argument("--xdotool", required=True)
    parser.add_argument("--wmctrl", required=True)
    parser.add_argument("--bus-launcher-pid", type=int, required=True)
    args = parser.parse_args()

    wait_for_bus(args.bus_launcher_pid, WAIT_SECONDS)
    import pyatspi
    from gi.repository import GLib

    try:
        pyatspi.Registry.getDesktop(0).childCount
    except Exception as error:
        print(f"skipped: the AT-SPI registry (at-spi2-registryd) is not reachable: {error}")
        return SKIP
    reader = Reader(pyatspi, GLib)
    session = Session(args, reader)
    database = sqlite3.connect(os.path.join(args.dictionary_folder, "lx_items.db"))
    try:
        read_the_window(session, reader, args.dictionary_folder, database)
        print("run 1: names, counts, the search's announcement and the mode change read")
        error_boxes(session, reader, args.empty_folder)
        print("run 2: the error boxes read, the focus back where it was")
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        session.stop()
        database.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
