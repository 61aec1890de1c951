#!/usr/bin/python3
"""pymodbus, an independent Modbus master, against ktr58-sim over TCP and RTU:
holding registers (function 3), a configuration write (16), the device
identification (43) and an exception reply.

usage: pymodbus_peer.py PATH-TO-KTR58-SIM
Exits 77 (skipped) when pymodbus is missing."""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import ktr58sim  # noqa: E402

try:
    from pymodbus.client import ModbusSerialClient, ModbusTcpClient
    from pymodbus.mei_message import ReadDeviceInformationRequest
except ImportError:
    print("SKIP: pymodbus is not installed (Debian package python3-pymodbus)")
    sys.exit(77)

SIM = sys.argv[1]
failures = []
checks = 0


def check(what, got, expected):
    global checks
    checks += 1
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def start(args):
    return ktr58sim.start(SIM, args)


def exercise(client, transport, id_length):
    if not client.connect():
        failures.append(f"{transport}: cannot connect")
        return
    try:
        r = client.read_holding_registers(74, 2, slave=1)
        check(f"{transport} ratios", getattr(r, "registers", r), [100, 10])
        r = client.read_holding_registers(1024, 17, slave=1)
        check(f"{transport} counts", getattr(r, "registers", [None])[1:4], [120, 1000, 37])

        codes = [0, 1, 2, 27] + [255] * 24
        r = client.write_registers(305, [600, 1, 0] + codes, slave=1)
        check(f"{transport} write", r.isError(), False)
        r = client.read_holding_registers(305, 31, slave=1)
        check(f"{transport} read back", getattr(r, "registers", r), [600, 1, 0] + codes)

        r = client.read_holding_registers(0, 1, slave=1)
        check(f"{transport} exception", (r.isError(), getattr(r, "exception_code", None)), (True, 2))

        # pymodbus of Debian 12 takes the unit of this request as `unit`.
        r = client.execute(ReadDeviceInformationRequest(read_code=1, object_id=0, unit=1))
        info = getattr(r, "information", {})
        check(f"{transport} object ids", sorted(info), [0, 1, 2, 3, 4, 5])
        check(f"{transport} model", info.get(1), b"KTR-58-168")
        total = 6 + sum(2 + len(v) for v in info.values())
        check(f"{transport} identification length", total, id_length)
    finally:
        client.close()


for id_length in (117, 134):
    sim, where = start(["--tcp", "127.0.0.1:0", "--id-length", str(id_length)])
    try:
        exercise(ModbusTcpClient("127.0.0.1", port=int(where.rsplit(":", 1)[1]), timeout=2), "tcp", id_length)
    finally:
        sim.terminate()
        check("tcp exit", sim.wait(timeout=10), 0)

with tempfile.TemporaryDirectory() as tmp:
    link = os.path.join(tmp, "tty")
    sim, where = start(["--pty", link, "--baud", "19200"])
    try:
        exercise(ModbusSerialClient(port=where, baudrate=19200, parity="N", timeout=2), "rtu", 117)
    finally:
        sim.terminate()
        check("rtu exit", sim.wait(timeout=10), 0)

for f in failures:
    print("FAIL:", f)
print(f"{checks - len(failures)} of {checks} checks passed")
sys.exit(1 if failures else 0)
