"""ktr58-sim started from a Python test."""

import subprocess
import sys


def start(sim_binary, args):
    """Starts the simulator with args; returns the process and what it serves (HOST:PORT or a path)."""
    sim = subprocess.Popen([sim_binary] + args, stdout=subprocess.PIPE, text=True)
    line = sim.stdout.readline().strip()
    if not line.startswith("ktr58-sim: serving "):
        sim.kill()
        sys.exit(f"ktr58-sim did not start: {line!r}")
    return sim, line.split(" ", 3)[3]
