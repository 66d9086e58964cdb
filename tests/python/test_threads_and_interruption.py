"""Ctrl-C, progress callbacks and threads: the GIL released while sampling, the program's bits from two threads."""

import logging
import os
import subprocess
import sys
import textwrap
import threading
import time

import numpy
import pytest

from conftest import EXAMPLES

# The signal arrives while the work runs; the script prints how long
# KeyboardInterrupt took to come after it.
INTERRUPTED_SCRIPT = textwrap.dedent("""
    import os, signal, sys, threading, time
    import numpy, nocturnia
    doc = nocturnia.Document.open(sys.argv[1])
    doc["Density"] = 40.0
    work = {
        "render": lambda: doc.render(width=3000, height=3000, samples=4, threads=2),
        "sample": lambda: doc.sample(numpy.random.default_rng(1).random((4_000_000, 2))),
    }[sys.argv[2]]
    sent = []
    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)
    threading.Timer(1.0, interrupt).start()
    try:
        work()
        print("finished before the signal")
    except KeyboardInterrupt:
        print(f"interrupted after {time.monotonic() - sent[0]:.3f} s")
""")


@pytest.mark.parametrize("work", ["render", "sample"])
def test_ctrl_c_raises_keyboard_interrupt_within_half_a_second(work):
    done = subprocess.run([sys.executable, "-c", INTERRUPTED_SCRIPT, f"{EXAMPLES}/night-sky.json", work],
                          capture_output=True, text=True, timeout=300, env=dict(os.environ))
    assert done.returncode == 0, done.stderr
    words = done.stdout.split()
    assert words[:2] == ["interrupted", "after"], done.stdout
    assert float(words[2]) < 0.5


def test_progress_runs_on_the_calling_thread_and_console_lines_are_logged(nocturnia, caplog, capfd):
    doc = nocturnia.Document.open(f"{EXAMPLES}/night-sky.json")
    calls = []
    with caplog.at_level(logging.INFO, logger="nocturnia"):
        doc.render(width=64, height=48, samples=2, threads=2,
                   progress=lambda done, total: calls.append((done, total, threading.get_ident())))
    assert any(r.name == "nocturnia" and r.getMessage().startswith("minval = ") for r in caplog.records)
    assert capfd.readouterr().err == ""  # nothing of the plug-in's on standard error
    assert calls and calls[-1][:2] == (48, 48)
    assert {ident for _, _, ident in calls} == {threading.get_ident()}
    assert [done for done, _, _ in calls] == sorted(done for done, _, _ in calls)
    with pytest.raises(nocturnia.Cancelled):
        doc.render(width=64, height=48, progress=lambda done, total: False)
    with pytest.raises(ZeroDivisionError):
        doc.render(width=64, height=48, progress=lambda done, total: 1 / 0)


def test_two_threads_get_the_program_bits_and_python_runs_meanwhile(nocturnia):
    documents = [nocturnia.Document.open(f"{EXAMPLES}/{name}") for name in ("night-sky.json", "milky-band.json")]
    alone = [d.render(width=48, height=32, samples=2, threads=1) for d in documents]
    together = [None, None]

    def render(index):
        together[index] = documents[index].render(width=48, height=32, samples=2, threads=1)

    threads = [threading.Thread(target=render, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(a.tobytes() == t.tobytes() for a, t in zip(alone, together))

    # While one thread samples, another runs Python: it is seen running in
    # the middle of the sampling, not only before or after.
    stamps, sampling = [], threading.Event()

    def count():
        sampling.wait()
        while sampling.is_set():
            stamps.append(time.monotonic())
            time.sleep(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    points = numpy.random.default_rng(2).random((2_000_000, 2))
    sampling.set()
    started = time.monotonic()
    documents[0].sample(points)
    ended = time.monotonic()
    sampling.clear()
    counter.join()
    assert ended - started > 0.2, "sampling too quick to tell"
    middle = [t for t in stamps if started + 0.25 * (ended - started) < t < started + 0.75 * (ended - started)]
    assert len(middle) >= 10
