#!/usr/bin/python3
"""The real program read through AT-SPI, as a screen reader reads it.

Run inside its own session bus (dbus-run-session): starts its own Xvfb, the
program with accessibility on, and talks to it with pyatspi. Every wait is
for a condition, with a time-out.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

TIMEOUT = 30.0
LONG_LINE = " ".join(f"word{i}" for i in range(400))
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_until(condition, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while True:
        pump()
        try:
            value = condition()
        except Exception:  # an object going away while the tree changes
            value = None
        if value:
            return value
        if time.monotonic() > end:
            return value
        time.sleep(0.02)


def units(text):
    """UTF-16 units, the offsets the program reports."""
    return text.encode("utf-16-le")


def slice16(text, start, end):
    return units(text)[2 * start:2 * end].decode("utf-16-le")


def start_xvfb(xvfb):
    for attempt in range(64):
        display = 100 + (os.getpid() + attempt * 7) % 800
        read_end, write_end = os.pipe()
        server = subprocess.Popen(
            [xvfb, f":{display}", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as answer:
            number = answer.readline().strip()
        if number == str(display) and server.poll() is None:
            return server, f":{display}"
        server.kill()
        server.wait()
    raise RuntimeError("Xvfb found no free display")


class Desktop:
    def __init__(self, args):
        self.home = tempfile.mkdtemp(prefix="quorvel-a11y-")
        for sub in ("work", "config", "run"):
            os.makedirs(os.path.join(self.home, sub), mode=0o700)
        self.server, self.display = start_xvfb(args.xvfb)
        self.env = dict(os.environ)
        self.env.update(DISPLAY=self.display, HOME=self.home,
                        XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_RUNTIME_DIR=os.path.join(self.home, "run"),
                        QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                        QT_ACCESSIBILITY="1")
        self.program = os.path.abspath(args.program)
        self.xdotool = args.xdotool
        self.process = None

    def write(self, name, text):
        path = os.path.join(self.home, "work", name)
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        return path

    def start(self, *files):
        # Each start has a state folder of its own: what a killed start left to
        # recover would otherwise be offered before the files open.
        state = tempfile.mkdtemp(prefix="state-", dir=self.home)
        self.env["XDG_STATE_HOME"] = state
        self.process = subprocess.Popen([self.program, *files], env=self.env,
                                        cwd=os.path.join(self.home, "work"))

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process = None

    def tool(self, *args):
        return subprocess.run([self.xdotool, *args], env=self.env, capture_output=True, text=True,
                              timeout=30).stdout.strip()

    def main_window(self):
        ids = self.tool("search", "--onlyvisible", "--name", "Zelmar$").split()
        return ids[0] if ids else None

    def keys(self, *keys):
        window = wait_until(self.main_window)
        self.tool("windowfocus", "--sync", window)
        self.tool("key", "--clearmodifiers", *keys)

    def type(self, text):
        window = wait_until(self.main_window)
        self.tool("windowfocus", "--sync", window)
        self.tool("type", text)

    def close(self):
        self.stop()
        self.server.terminate()
        self.server.wait()
        shutil.rmtree(self.home, ignore_errors=True)


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def find_all(root, predicate, first=False):
    """Breadth first, so that the documents come before the menus' items."""
    found, queue = [], [root]
    while queue:
        node = queue.pop(0)
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            if predicate(child):
                found.append(child)
                if first:
                    return found
            queue.append(child)
    return found


def find(root, predicate):
    found = find_all(root, predicate, first=True)
    return found[0] if found else None


def document(app, name):
    """The text view whose name is its tab's caption."""
    return find(app, lambda o: o.getRole() == pyatspi.ROLE_TEXT and o.name == name)


class Events:
    def __init__(self):
        self.seen = []
        pyatspi.Registry.registerEventListener(self.take, "object:text-changed", "object:text-caret-moved",
                                               "object:state-changed:focused", "focus:")

    def take(self, event):
        self.seen.append((event.type, event.source, event.detail1, event.detail2, event.any_data))

    def clear(self):
        pump()
        self.seen.clear()

    def of(self, kind, source=None):
        return [e for e in self.seen if e[0] == kind and (source is None or e[1] == source)]


def check_reading(desktop, app, events):
    first = "Hello world\nsecond line here\nthird\n"
    view = wait_until(lambda: document(app, "1: first.txt"))
    if not check(view is not None, "the document is on the bus as text named after its tab"):
        return
    text = view.queryText()
    check(text.getText(0, -1) == first, "the document's text is read")
    check(text.characterCount == len(units(first)) // 2, "characterCount counts UTF-16 units")
    state = view.getState()
    check(state.contains(pyatspi.STATE_EDITABLE) and state.contains(pyatspi.STATE_MULTI_LINE),
          "the view is editable and multi-line")

    desktop.keys("ctrl+End")
    check(wait_until(lambda: text.caretOffset == text.characterCount) is True,
          f"caret offset after Ctrl+End is the end ({text.caretOffset})")

    # A click on the 'c' of "second": offset 12 + 2.
    target = 14
    x, y, w, h = text.getCharacterExtents(target, pyatspi.DESKTOP_COORDS)
    check(w > 0 and h > 0, f"character {target} has extents {x},{y} {w}x{h}")
    check(text.getOffsetAtPoint(x + w // 2, y + h // 2, pyatspi.DESKTOP_COORDS) == target,
          "offsetAtPoint inside a character's extents gives that character")
    desktop.tool("mousemove", "--sync", str(x + max(1, w // 4)), str(y + h // 2), "click", "1")
    check(wait_until(lambda: text.caretOffset == target) is True,
          f"caret offset after a click on character {target} ({text.caretOffset})")

    # Typing and erasing: the events carry the text, not the document.
    events.clear()
    desktop.type("Q")
    inserted = wait_until(lambda: events.of("object:text-changed:insert", view))
    check(bool(inserted) and inserted[0][4] == "Q" and inserted[0][2] == target,
          f"typing raises text-changed:insert with the 'Q' at {target}: {inserted[:1]}")
    check(text.getText(0, -1) == first[:target] + "Q" + first[target:], "the text read afterwards has it")
    check(wait_until(lambda: text.caretOffset == target + 1) is True, "the caret follows the typed text")
    events.clear()
    desktop.keys("BackSpace")
    removed = wait_until(lambda: events.of("object:text-changed:delete", view))
    check(bool(removed) and removed[0][4] == "Q" and removed[0][2] == target,
          f"Backspace raises text-changed:delete with the 'Q': {removed[:1]}")

    # Selections through the interface are the view's.
    text.setSelection(0, 0, 5)
    check(text.getNSelections() == 1 and tuple(text.getSelection(0)) == (0, 5), "a selection set is read back")
    text.removeSelection(0)
    check(text.getNSelections() == 0, "a selection removed is gone")

    # Editing through the editable interface is one undoable step.
    editable = view.queryEditableText()
    editable.insertText(6, "big ", 4)
    check(wait_until(lambda: text.getText(0, -1) == "Hello big world" + first[11:]) is True,
          "inserting through the editable interface changes the text")
    editable.deleteText(0, 6)
    check(wait_until(lambda: text.getText(0, -1) == "big world" + first[11:]) is True,
          "deleting through the editable interface changes the text")
    desktop.keys("ctrl+z")
    check(wait_until(lambda: text.getText(0, -1) == "Hello big world" + first[11:]) is True,
          "Ctrl+Z undoes the deletion")
    desktop.keys("ctrl+z")
    check(wait_until(lambda: text.getText(0, -1) == first) is True, "Ctrl+Z undoes the insertion")


def check_tab_switch(desktop, app, events):
    second = wait_until(lambda: document(app, "2: second.txt"))
    if not check(second is not None, "the second document is on the bus"):
        return
    events.clear()
    desktop.keys("ctrl+Tab")
    focused = wait_until(lambda: second.getState().contains(pyatspi.STATE_FOCUSED))
    check(bool(focused), "switching tabs focuses the other document")
    wait_until(lambda: events.of("focus:") or events.of("object:state-changed:focused"), 5)
    inserts = events.of("object:text-changed:insert")
    check(not inserts, f"a tab switch raises no insert of text ({len(inserts)} inserts)")
    desktop.keys("ctrl+shift+Tab")
    wait_until(lambda: document(app, "1: first.txt").getState().contains(pyatspi.STATE_FOCUSED))


def check_offsets(desktop, app):
    # An emoji (two units), a combining mark, a word after them, a second line.
    mixed = "ab \U0001F600x e\u0301t w\u00f6rd\nzweite Zeile \U0001F44D\n"
    view = wait_until(lambda: document(app, "3: mixed.txt"))
    if not check(view is not None, "the mixed document is on the bus"):
        return
    text = view.queryText()
    count = len(units(mixed)) // 2
    check(text.characterCount == count, f"characterCount {text.characterCount} is {count} units")
    check(text.getText(0, -1) == mixed, "the mixed text is read whole")

    for kind, name in ((pyatspi.TEXT_BOUNDARY_CHAR, "characters"), (pyatspi.TEXT_BOUNDARY_WORD_START, "words"),
                       (pyatspi.TEXT_BOUNDARY_LINE_START, "lines")):
        good, pieces = True, []
        for offset in range(count):
            piece, start, end = text.getTextAtOffset(offset, kind)
            if not (start <= offset < end and slice16(mixed, start, end) == piece):
                good = False
                print(f"      {name}: at {offset} got {piece!r} {start}..{end}")
            if not pieces or pieces[-1] != (start, end):
                pieces.append((start, end))
        tiled = all(a[1] == b[0] for a, b in zip(pieces, pieces[1:])) and pieces[0][0] == 0 and \
            pieces[-1][1] == count
        check(good and tiled, f"{name}: every piece holds its offset, matches the text there and they tile it")
        if kind == pyatspi.TEXT_BOUNDARY_CHAR:
            emoji = mixed.index("\U0001F600")
            check(text.getTextAtOffset(3, kind) == ("\U0001F600", 3, 5) and emoji == 3,
                  "the emoji is one character of two units")
            check(text.getTextAtOffset(8, kind) == ("e\u0301", 7, 9),
                  "a letter with its combining mark is one character")
            after = text.getTextAfterOffset(3, kind)
            check(tuple(after) == ("x", 5, 6), f"the character after the emoji starts after both units {after}")
        if kind == pyatspi.TEXT_BOUNDARY_WORD_START:
            check(text.getTextAtOffset(13, kind)[0] == "w\u00f6rd", "a word is found by the engine's rule")
        if kind == pyatspi.TEXT_BOUNDARY_LINE_START:
            line2 = text.getTextAtOffset(count - 2, kind)
            check(line2[0] == "zweite Zeile \U0001F44D\n", f"the second line is one line {line2}")
            before = text.getTextBeforeOffset(count - 2, kind)
            check(before[0] == mixed.split("\n")[0] + "\n", "the line before it is the first")


def check_wrapped_lines(desktop, app):
    """With word wrap on, a line is a row as the view shows it."""
    view = wait_until(lambda: document(app, "2: second.txt"))
    wrap = find(app, lambda o: o.getRole() in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM) and
                o.name.replace("&", "").startswith("Word Wrap"))
    if not check(view is not None and wrap is not None, "the second document and the Word Wrap item are there"):
        return
    text = view.queryText()
    paragraph = text.getTextAtOffset(10, pyatspi.TEXT_BOUNDARY_LINE_START)
    check(paragraph[1] == 0 and paragraph[2] == len(LONG_LINE) + 1, "unwrapped, a line is the whole line")
    wrap.queryAction().doAction(0)

    def rows():
        pieces, offset = [], 0
        while offset <= len(LONG_LINE):
            piece, start, end = text.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
            if end <= offset or slice16(text.getText(0, -1), start, end) != piece:
                return None
            pieces.append((start, end))
            offset = end
        return pieces if len(pieces) > 1 else None

    pieces = wait_until(rows, 10)
    check(bool(pieces) and pieces[0][0] == 0 and pieces[-1][1] == len(LONG_LINE) + 1 and
          all(a[1] == b[0] for a, b in zip(pieces, pieces[1:])),
          f"wrapped, the long line is {len(pieces or [])} rows that tile it")
    sentence = text.getTextAtOffset(10, pyatspi.TEXT_BOUNDARY_SENTENCE_START)
    check(sentence[1] == 0 and sentence[2] == len(LONG_LINE) + 1, "a paragraph is still the whole line")
    wrap.queryAction().doAction(0)
    wait_until(lambda: text.getTextAtOffset(10, pyatspi.TEXT_BOUNDARY_LINE_START)[2] == len(LONG_LINE) + 1, 10)


def check_read_only(desktop, app):
    view = wait_until(lambda: document(app, "4: readonly.txt"))
    if not check(view is not None, "the read-only document is on the bus"):
        return
    state = view.getState()
    check(state.contains(pyatspi.STATE_READ_ONLY) and not state.contains(pyatspi.STATE_EDITABLE),
          "a read-only document says so")
    text = view.queryText()
    before = text.getText(0, -1)
    view.queryEditableText().insertText(0, "X", 1)
    view.queryEditableText().deleteText(0, 3)
    check(text.getText(0, -1) == before, "a read-only document refuses edits through the interface")


def check_names(desktop, app):
    """Menu items, dialog controls and status panels carry names."""
    unnamed, seen = [], []

    def walk(node, depth=0):
        if node is None or depth > 30:
            return
        role = node.getRole()
        if role in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_CHECK_MENU_ITEM,
                    pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX,
                    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_PAGE_TAB):
            seen.append(node)
            if not node.name:
                unnamed.append(f"{node.getRoleName()} in {node.parent.name!r}")
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), depth + 1)

    walk(app)
    items = sum(1 for n in seen if n.getRole() == pyatspi.ROLE_MENU_ITEM)
    check(items >= 20 and not unnamed,
          f"every one of {items} menu items and the menus, buttons and tabs has a name {unnamed[:10]}")

    for keys, title, fields_wanted in (("ctrl+f", "Find", 2), ("ctrl+g", "Go to", 2)):
        desktop.keys(keys)
        dialog = wait_until(lambda: find(app, lambda o: o.getRole() == pyatspi.ROLE_DIALOG and
                                         o.getState().contains(pyatspi.STATE_SHOWING)))
        if not check(dialog is not None and title.lower() in dialog.name.lower(),
                     f"the {title} dialog is on the bus ({dialog and dialog.name!r})"):
            continue
        fields = wait_until(lambda: find_all(
            dialog, lambda o: o.getRole() in (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
                                              pyatspi.ROLE_SPIN_BUTTON)) or None)
        labelled = []
        for field in fields or []:
            if field.parent.getRole() == pyatspi.ROLE_COMBO_BOX:
                continue  # the edit field inside a combo box
            labels = [t.name for r in field.getRelationSet()
                      if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
                      for t in (r.getTarget(i) for i in range(r.getNTargets()))]
            labelled.append(labels)
        check(len(labelled) >= fields_wanted and all(any(label.strip() for label in labels) for labels in labelled),
              f"the {title} dialog's fields are labelled by their labels {labelled}")
        unnamed.clear()
        walk(dialog)
        check(not unnamed, f"every control of the {title} dialog has a name {unnamed[:10]}")
        desktop.tool("key", "Escape")  # to the dialog, which has the focus
        wait_until(lambda: find(app, lambda o: o.getRole() == pyatspi.ROLE_DIALOG and
                                o.getState().contains(pyatspi.STATE_SHOWING)) is None, 10)

    bar = find(app, lambda o: o.getRole() == pyatspi.ROLE_STATUS_BAR)
    if check(bar is not None, "the status bar is on the bus"):
        panels = find_all(bar, lambda o: o.getRole() == pyatspi.ROLE_LABEL)
        shown = [p for p in panels if p.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width > 0]
        names = [p.name.strip() for p in shown]
        check(len(names) >= 3 and all(names), f"the status bar's panels have names {names}")


def check_large(desktop, megabytes, events):
    line = "The quick brown fox jumps over the lazy dog, again and again and again.\n"
    path = os.path.join(desktop.home, "work", "large.txt")
    with open(path, "w", encoding="ascii") as f:
        block = line * 10000
        for _ in range(max(1, megabytes * 1024 * 1024 // len(block))):
            f.write(block)
    size = os.path.getsize(path)
    events.clear()
    desktop.start(path)
    app = wait_until(lambda: application(desktop.process.pid), 60)
    view = app and wait_until(lambda: document(app, "1: large.txt"), 60)
    if not check(view is not None, f"a document of {size // (1024 * 1024)} MB is on the bus"):
        return
    text = view.queryText()
    check(wait_until(lambda: text.characterCount == size, 60) is True, "its characterCount is its size")
    pump()
    inserts = [e for e in events.of("object:text-changed:insert") if e[3] > 1000]
    check(not inserts, f"loading it raises no insert of its text ({len(inserts)})")
    desktop.keys("ctrl+End")
    wait_until(lambda: text.caretOffset == size, 60)
    desktop.keys("Up", "Up")
    wait_until(lambda: text.caretOffset == size - 2 * len(line), 30)

    def timed(call, rounds=20):
        times = []
        for _ in range(rounds):
            begin = time.perf_counter()
            result = call()
            times.append(time.perf_counter() - begin)
        times.sort()
        return result, times[len(times) // 2] * 1000

    count, count_ms = timed(lambda: text.characterCount)
    caret, caret_ms = timed(lambda: text.caretOffset)
    row, line_ms = timed(lambda: text.getTextAtOffset(caret, pyatspi.TEXT_BOUNDARY_LINE_START))
    check(row[0] == line, "the line at the caret is read")
    # A figure, not an assertion: a loaded machine must not fail the test.
    print(f"info  {size // (1024 * 1024)} MB: characterCount {count_ms:.2f} ms, caretOffset {caret_ms:.2f} ms, "
          f"line at caret {line_ms:.2f} ms (medians over the bus)", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--xvfb", default="Xvfb")
    parser.add_argument("--xdotool", default="xdotool")
    parser.add_argument("--large-mb", type=int, default=int(os.environ.get("QUORVEL_A11Y_LARGE_MB", "200")))
    args = parser.parse_args()

    desktop = Desktop(args)
    try:
        files = [desktop.write("first.txt", "Hello world\nsecond line here\nthird\n"),
                 desktop.write("second.txt", LONG_LINE + "\n" + "The other document\n" * 50),
                 desktop.write("mixed.txt", "ab \U0001F600x e\u0301t w\u00f6rd\nzweite Zeile \U0001F44D\n")]
        events = Events()
        read_only = desktop.write("readonly.txt", "Look, do not touch.\n")
        desktop.start(*files, "-R:" + read_only)
        app = wait_until(lambda: application(desktop.process.pid), 60)
        if check(app is not None, "the program is on the accessibility bus"):
            # The last tab is the active one after start; the first is read first.
            wait_until(lambda: document(app, "4: readonly.txt"), 30)
            desktop.keys("ctrl+Tab")
            check_reading(desktop, app, events)
            check_tab_switch(desktop, app, events)
            check_offsets(desktop, app)
            check_wrapped_lines(desktop, app)
            check_read_only(desktop, app)
            check_names(desktop, app)
        desktop.stop()
        if args.large_mb > 0:
            check_large(desktop, args.large_mb, events)
    finally:
        desktop.close()
    print(f"{len(failures)} failed" if failures else "all passed", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
