#!/usr/bin/python3
"""What a screen reader costs the program: idle CPU and typing, with and without.

    dbus-run-session -- /usr/bin/python3 bench/accessibility_cost.py build/bin/quorvel [MB]

Opens a generated file of MB megabytes (default 50) twice on its own Xvfb:
once with no assistive technology, once with accessibility on and a listener
that, like a screen reader, reads the line at the caret on every caret move.
Prints the program's CPU over 10 idle seconds, its CPU for 100 typed keys,
the median time from a key sent until the program's CPU is quiet again, and
(with the reader) the median time from a key sent to its insert event.
"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "accessibility"))
import AtSpiTest as t  # noqa: E402
import pyatspi  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def wait_quiet(pid, quiet=1.0, timeout=120):
    """Returns when the CPU last moved (clock ticks, so 10 ms coarse)."""
    end = time.monotonic() + timeout
    last, since = cpu_seconds(pid), time.monotonic()
    while time.monotonic() < end:
        time.sleep(0.005)
        t.pump()
        now = cpu_seconds(pid)
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet:
            break
    return since


def run(program, path, reader):
    class Args:
        pass
    args = Args()
    args.program, args.xvfb, args.xdotool = program, "Xvfb", "xdotool"
    desktop = t.Desktop(args)
    if not reader:
        del desktop.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"]
        desktop.env["QT_ACCESSIBILITY"] = "0"
    latencies, busy, listener = [], [], None
    try:
        desktop.start(path)
        pid = desktop.process.pid
        t.wait_until(desktop.main_window, 60)
        if reader:
            app = t.wait_until(lambda: t.application(pid), 60)
            view = t.wait_until(lambda: t.document(app, "1: " + os.path.basename(path)), 60)
            text = view.queryText()
            arrived = []

            def on_event(event):
                if event.type.startswith("object:text-caret-moved"):
                    text.getTextAtOffset(text.caretOffset, pyatspi.TEXT_BOUNDARY_LINE_START)
                    text.characterCount
                elif event.type.startswith("object:text-changed:insert"):
                    arrived.append(time.perf_counter())
            listener = on_event
            pyatspi.Registry.registerEventListener(on_event, "object:text-caret-moved",
                                                   "object:text-changed:insert")
        desktop.keys("ctrl+End", "Up", "End")
        wait_quiet(pid)
        idle_start = cpu_seconds(pid)
        end = time.monotonic() + 10
        while time.monotonic() < end:
            t.pump()
            time.sleep(0.05)
        idle = cpu_seconds(pid) - idle_start
        window = t.wait_until(desktop.main_window)
        desktop.tool("windowfocus", "--sync", window)
        typing_start = cpu_seconds(pid)
        for _ in range(100):
            sent = time.perf_counter()
            count = len(arrived) if reader else 0
            desktop.tool("key", "x")
            if reader and t.wait_until(lambda: len(arrived) > count, 5):
                latencies.append(arrived[-1] - sent)
        wait_quiet(pid)
        typing = cpu_seconds(pid) - typing_start
        for _ in range(20):
            sent = time.monotonic()
            desktop.tool("key", "x")
            busy.append(wait_quiet(pid, 0.3) - sent)
    finally:
        if listener:
            pyatspi.Registry.deregisterEventListener(listener, "object:text-caret-moved",
                                                     "object:text-changed:insert")
        desktop.close()
    return idle, typing, latencies, busy


def main():
    program = os.path.abspath(sys.argv[1])
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    line = "The quick brown fox jumps over the lazy dog, again and again and again.\n"
    path = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"quorvel-a11y-bench-{os.getpid()}.txt")
    with open(path, "w", encoding="ascii") as f:
        block = line * 10000
        for _ in range(max(1, megabytes * 1024 * 1024 // len(block))):
            f.write(block)
    try:
        for reader in (False, True):
            idle, typing, latencies, busy = run(program, path, reader)
            figures = (f"idle CPU {idle:.2f} s in 10 s, CPU for 100 keys {typing:.2f} s, "
                       f"key to CPU quiet median {statistics.median(busy) * 1000:.0f} ms")
            if latencies:
                figures += f", key to insert event median {statistics.median(latencies) * 1000:.1f} ms"
            print(f"{megabytes} MB, {'with' if reader else 'without'} a screen reader: {figures}", flush=True)
    finally:
        os.remove(path)


if __name__ == "__main__":
    main()
