#!/usr/bin/env python3
"""Writes the seed inputs of corpus/<target>/ in the layout each target reads.

Run it again after changing what a target reads; the files are committed.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

FRAMED, SIZED, EXCEPTION, RAW = 0, 1, 2, 3
FOREIGN_UNIT, FOREIGN_FUNCTION, HANG_UP = 4, 8, 16


def w(*words):
    return b"".join(struct.pack(">H", x & 0xFFFF) for x in words)


def framed(data, flags=0, unit=None, function=None):
    out = bytes([FRAMED | flags])
    if unit is not None:
        out += bytes([unit])
    if function is not None:
        out += bytes([function])
    return out + data


def sized(data):
    return bytes([SIZED, len(data)]) + data


def exception(code):
    return bytes([EXCEPTION, code])


def raw(data):
    return bytes([RAW]) + w(len(data)) + data


def registers(*words):
    return bytes([2 * len(words)]) + w(*words)


def identity(vendor, model, version, serial, long=False):
    objects = [vendor, model, version, b"", b"", serial]
    body = bytes([0x0E, 0x01, 0x01, 0x00, 0x00, len(objects)])
    for i, text in enumerate(objects):
        body += bytes([i, len(text)]) + text
    size = 134 if long else 117
    return (body + bytes(size))[:size]


def record(number, date, time, words):
    head = bytes([66, 65, 6]) + w(number) + bytes(date) + bytes(time)
    return (head + w(*words) + bytes(67))[:67]


def exchange(op, unit, params, ref, reply):
    return bytes([op, unit]) + params + w(ref) + reply


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def transport():
    seeds = {
        "read_one": exchange(0, 1, bytes([0]), 0, framed(registers(0x1234))),
        "read_ratios": exchange(0, 1, bytes([1]), 74, framed(registers(50, 10))),
        "read_125": exchange(0, 7, bytes([124]), 305, framed(registers(*range(125)))),
        "read_bad_count": exchange(0, 1, bytes([1]), 0, framed(bytes([3]) + w(1, 2))),
        "write_31": exchange(1, 1, bytes([30]) + w(*range(31)), 305, framed(w(305, 31))),
        "write_short_echo": exchange(1, 1, bytes([3]) + w(1, 2, 3, 4), 0, framed(w(0, 3))),
        "write_broadcast": exchange(1, 0, bytes([0]) + w(9), 0, framed(w(0, 1))),
        "write_broadcast_bad_echo": exchange(1, 0, bytes([0]) + w(9), 0, framed(w(0, 0))),
        "record": exchange(2, 1, bytes([2, 0, 0]), 0,
                           framed(record(1, [9, 12, 31], [8, 0, 30], range(28)))),
        "identity_117": exchange(3, 1, bytes([0]), 0, framed(identity(b"Vendor", b"KTR-58-168", b"1.2", b"SN1"))),
        "identity_134": exchange(3, 1, bytes([1]), 0,
                                 framed(identity(b"Vendor", b"KTR-58-167", b"1.2", b"SN1", True))),
        "exception_2": exchange(0, 1, bytes([0]), 0, exception(2)),
        "exception_negative": exchange(3, 1, bytes([0]), 0, exception(0x85)),
        "foreign_unit": exchange(0, 1, bytes([0]), 0, framed(registers(1), FOREIGN_UNIT, unit=2)),
        "foreign_function": exchange(0, 1, bytes([0]), 0, framed(registers(1), FOREIGN_FUNCTION, function=4)),
        "short_reply": exchange(0, 1, bytes([9]), 0, sized(bytes([20, 1, 2]))),
        "long_reply": exchange(0, 1, bytes([0]), 0, sized(registers(1) + bytes(40))),
        "raw_noise": exchange(2, 1, bytes(3), 0, raw(bytes(range(1, 30)))),
        "sequence": exchange(0, 1, bytes([0]), 0, framed(registers(5)))
        + exchange(3, 1, bytes([0]), 0, sized(bytes(140)))
        + exchange(1, 1, bytes([0]) + w(1), 0, framed(w(0, 1))),
    }
    for target in ("rtu_reply", "tcp_reply"):
        for name, data in seeds.items():
            write(target, name, data)
    write("tcp_reply", "hang_up",
          exchange(0, 1, bytes([0]), 0, framed(registers(1), HANG_UP))
          + exchange(0, 1, bytes([0]), 0, framed(registers(2))))
    write("tcp_reply", "unit_zero_reply", exchange(0, 5, bytes([0]), 0, framed(registers(1), FOREIGN_UNIT, unit=0)))


def config_replies(ct, vt, period, codes):
    codes = list(codes) + [255] * (28 - len(codes))
    return framed(registers(ct, vt)) + framed(registers(period, 1, 0, *codes))


def worker_identity():
    ident = identity(b"Vendor", b"KTR-58-168", b"1.2", b"SN1")
    seeds = {
        "identity": bytes([1, 0]) + framed(ident) + framed(bytes(134)),
        "identity_second": bytes([1, 0]) + exception(1) + framed(identity(b"V", b"M167", b"9", b"S", True)),
        "identity_overrun": bytes([1, 0]) + framed(bytes([0x0E, 1, 1, 0, 0, 6, 0, 200]) + bytes(109))
        + framed(bytes(134)),
        "config": bytes([1, 1]) + w(168) + bytes([0]) + config_replies(50, 10, 60, range(28)),
        "config_167": bytes([1, 1]) + w(167) + bytes([90]) + config_replies(1, 1, 1, [60, 61]),
        "config_fails": bytes([1, 1]) + w(0) + bytes([5]) + exception(2) + framed(registers(*range(31))),
        "counts": bytes([1, 2]) + framed(registers(*range(17))),
        "write": bytes([1, 3]) + w(1, 0, 0, 1, 0, 0) + w(*([255] * 28)) + framed(w(305, 31)),
        "all": bytes([1, 0]) + framed(ident) + framed(bytes(134)) + bytes([1]) + w(168) + bytes([0])
        + config_replies(5, 1000, 900, [0, 1, 2, 60, 61, 75]) + bytes([2]) + framed(registers(*range(17))),
    }
    for name, data in seeds.items():
        write("worker_identity", name, data)


def worker_records():
    normal = record(3, [9, 12, 31], [23, 59, 58], [100, -5, 7000] + [0] * 25)
    energy = record(1, [10, 1, 1], [0, 0, 0], [1234, 5, 9999, 9999, 0, 1, 2, 3] + [100] * 20)
    seeds = {
        # slave, grid columns, configuration read or not, records - 1, then area, index, reply each
        "record_no_config": bytes([1, 0, 0, 0, 0]) + w(0) + framed(normal),
        "negative_date": bytes([1, 0, 0, 0, 3]) + w(9)
        + framed(record(0xFFFF, [0xFB, 0x80, 0xFF], [0x9C, 0, 0x7F], [-1] * 28)),
        "record": bytes([1, 0, 1]) + w(168) + config_replies(50, 10, 60, [0, 3, 60, 61, 75, 255]) + bytes([0, 2])
        + w(7) + framed(normal),
        "energy": bytes([1, 10, 1]) + w(168) + config_replies(50, 10, 60, []) + bytes([0, 15]) + w(0)
        + framed(energy),
        "mixed": bytes([1, 0, 1]) + w(167) + config_replies(1, 1, 1, [62, 63, 61, 60]) + bytes([3])
        + bytes([0]) + w(0) + framed(normal) + bytes([15]) + w(1) + framed(energy) + bytes([14]) + w(0xFFFF)
        + exception(2) + bytes([1]) + w(2) + framed(normal),
    }
    for name, data in seeds.items():
        write("worker_records", name, data)


def decoders():
    codes = [0, 3, 60, 61, 62, 61, 63, 64, 65, 66, 67, 67, 75, 78, 79, 255, 0x8000, 10] + [255] * 10
    body = b"".join(w(1000 * i - 9000, c) for i, c in enumerate(codes))
    energy = w(*range(-14, 15))
    write("decoders", "word_ratios", bytes([1]) + w(50, 10) + w(0, 168) + bytes([0]) + body + energy)
    write("decoders", "model_167", bytes([1]) + w(65535, 65535) + w(0, 167) + bytes([90]) + body + energy)
    nan = struct.pack(">d", float("nan"))
    inf = struct.pack(">d", float("inf"))
    write("decoders", "odd_ratios", bytes([0]) + nan + inf + w(0xFFFF, 0xFF59) + bytes([200]) + body + energy)


def settings():
    good = b"[LANG]\n1=1\n[MODE]\n1=0\n[IP]\n1=127.0.0.1\n[COM]\n1=2\n[MODBUSID]\n1=$11\n" \
           b"[POLLDELAY]\n1=100\n[TIMEOUT]\n1=1000\n[IPLIST]\n0=127.0.0.1\n1=localhost\n"
    seeds = {
        "file": bytes([0, 5]) + b" x=y " + w(0, 1) + good,
        "file_crlf": bytes([0, 7]) + b"'quote'" + w(0xFFFF, 0xFFFF) + good.replace(b"\n", b"\r\n"),
        "file_odd": bytes([0, 3]) + b"a\rb" + w(0x8000, 0)
        + b"[mode\n 1 = 0x10 \n[IP]junk\n1=\"\xdd\xfe\"\n[FUZZ]\nk=old\n[MODE]\n1=7",
        "file_empty": bytes([0, 0]) + w(0, 0),
        "int_decimal": bytes([1, 0]) + b"  -2147483648",
        "int_hex": bytes([1, 0]) + b"-$FFFFFFFF",
        "int_hex64": bytes([1, 1]) + b"0xFFFFFFFFFFFFFFFF",
        "int_over": bytes([1, 0]) + b"9223372036854775808",
        "int_bad": bytes([1, 0]) + b"12 ",
        "int_utf16": bytes([1, 2]) + "+0X7f".encode("utf-16-le"),
    }
    for name, data in seeds.items():
        write("settings", name, data)


def frames():
    # how, slave, function, reply length, [unit], [function], data
    built, exc, raw_kind = 0, 2, 3
    foreign_unit, foreign_function, damaged, any_header = 4, 8, 16, 32
    seeds = {
        "registers": bytes([built, 1, 3]) + w(5) + registers(0x1234, 0xABCD),
        "one_byte": bytes([built, 9, 20]) + w(1) + bytes([0x42]),
        "longest": bytes([built, 247, 43]) + w(260) + bytes(range(256)) + bytes(4),
        "exception": bytes([exc, 1, 16]) + w(4) + bytes([2]),
        "exception_high": bytes([exc, 1, 3]) + w(3) + bytes([0x85]),
        "foreign_unit": bytes([built | foreign_unit, 1, 3]) + w(3) + bytes([2]) + registers(7),
        "unit_zero": bytes([built | foreign_unit, 5, 3]) + w(3) + bytes([0]) + registers(7),
        "foreign_function": bytes([built | foreign_function, 1, 3]) + w(3) + bytes([4]) + registers(7),
        "exception_of_other": bytes([exc | foreign_function, 1, 3]) + w(3) + bytes([16, 2]),
        "damaged": bytes([built | damaged, 1, 3]) + w(3) + registers(7),
        "any_header": bytes([built | any_header, 1, 3]) + w(3) + registers(7) + bytes([0, 7, 0, 9, 0, 99]),
        "raw": bytes([raw_kind, 1, 3]) + w(3) + w(9) + bytes([0, 0, 0, 0, 0, 5, 1, 3, 2]),
    }
    for target in ("frame_rtu_reply", "frame_tcp_reply"):
        for name, data in seeds.items():
            write(target, name, data)

    # records: a flag byte picks the record request (odd) or the identification (even)
    ident = bytes([6, 1]) + bytes([3]) + b"KTR" + bytes([5]) + b"KTR58" + bytes([2]) + b"V3" + bytes([0, 0, 4]) + b"1234"
    seeds = {
        "request": bytes([1]) + w(15, 0x1234) + bytes([8, 7, 6, 0, 2, 0, 9, 0, 1]),
        "request_two": bytes([1]) + w(0, 0) + bytes([15, 14]) + bytes([6, 0, 1, 0, 0, 0, 1]) * 2,
        "request_type": bytes([1]) + w(1, 1) + bytes([8, 7, 5, 0, 1, 0, 1, 0, 1]),
        "identity_built": ident,
        "identity_raw": bytes([0, 6, 0]) + identity(b"Vendor", b"KTR-58-168", b"1.2", b"SN1"),
        "identity_overrun": bytes([0, 6, 0]) + bytes([0x0E, 1, 1, 0, 0, 6, 0, 200]) + bytes(20),
    }
    for name, data in seeds.items():
        write("frame_records", name, data)

    # sim: a flag byte picks the framer (odd: baud flag, then pause, burst length, bytes, idle flag)
    # or one PDU (even)
    def rtu(*pdu_bytes):
        f = bytes(pdu_bytes)
        crc = crc16(f)
        return f + bytes([crc & 0xFF, crc >> 8])

    read = rtu(1, 3, 0, 74, 0, 2)
    record = rtu(1, 20, 7, 6, 0, 1, 0, 4, 0, 1)
    ident_req = rtu(1, 43, 0x0E, 1, 0)
    write_req = rtu(1, 16, 1, 49, 0, 1, 2, 0, 60)
    seeds = {
        "pdu_read": bytes([0]) + bytes([3, 0, 74, 0, 2]),
        "pdu_counts": bytes([0]) + bytes([3, 4, 0, 0, 17]),
        "pdu_write": bytes([0]) + bytes([16, 1, 49, 0, 2, 4, 0, 1, 0, 2]),
        "pdu_record": bytes([0]) + bytes([20, 7, 6, 0, 15, 0, 3, 0, 1]),
        "pdu_identity": bytes([0]) + bytes([43, 0x0E, 1, 0]),
        "pdu_object": bytes([0]) + bytes([43, 0x0E, 4, 5]),
        "pdu_unknown": bytes([0]) + bytes([8, 0, 0]),
        "line": bytes([1, 1]) + b"".join(bytes([50, len(f)]) + f + bytes([1]) for f in (read, record, ident_req, write_req)),
        "line_split": bytes([1, 0]) + bytes([0, 3]) + record[:3] + bytes([0]) + bytes([1, len(record) - 3])
        + record[3:] + bytes([0]),
        "line_noise": bytes([1, 1]) + bytes([0, 5, 1, 99, 1, 2, 3, 1]) + bytes([100, len(read)]) + read + bytes([1]),
    }
    for name, data in seeds.items():
        write("sim_request", name, data)


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


if __name__ == "__main__":
    transport()
    worker_identity()
    worker_records()
    decoders()
    settings()
    frames()
