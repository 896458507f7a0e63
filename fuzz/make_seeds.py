#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/<target>/ from the documented
examples of each function. Run it again after changing a seed; inputs that a
fuzzer found (crash-*, regression-*) live beside the seeds and are kept."""
import hashlib
import pathlib
import struct

root = pathlib.Path(__file__).resolve().parent / "corpus"


def write(target, seeds):
    folder = root / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("seed-*"):
        old.unlink()
    for seed in seeds:
        if isinstance(seed, str):
            seed = seed.encode("latin-1")
        name = "seed-" + hashlib.sha1(seed).hexdigest()[:16]
        (folder / name).write_bytes(seed)


numbers = ["5000", "80 ", "  80", "\t\n42", "\r42", "12abc", "abc", "", "-5", "+7", " -7x", "1,5",
           "1e3", "1E+2", "1D2", "25d-1", ".5", "5.", "1.2.3", "0x10", "1e", "1e+", "&H1F", "&h1f",
           "&HFFFF", "&H8000", "&H7FFF", "&HFFFFFFFF", "&H0FFFF", "&HFFFF&", "&HFFFF%", "&HFFFF&&",
           "&HFFFF?", "&HFFFFFFFFFFFFFFFF?", "&H7FFFFFFFFFFFFFFF???", "&H8000000000000000",
           "&H10000000000000000", "&H00000000000000001", "&B101", "&B" + "1" * 65, "&O17", "&Q17",
           "&17", "&", "&8", "-", ".", "e", "1e400", "-1e400", "1e-400", "1234567890123456789",
           "0.0000123456789012345678999", "1e99999999999999999999", "5000|x", "2147483647",
           "2147483648", "4294967296", "999999999999999999", "9999999999999999999", "65536"]


def fnv1a(data):
    value = 2166136261
    for byte in data:
        value = (value ^ byte) * 16777619 % 2**32
    return value


# One input of the rare kind whose zeros-after-the-point check writes a
# million zeros: its header asks for that many, its hash picks it.
million_zeros = next(seed for tail in range(1 << 16)
                     for seed in [struct.pack("<Ii", 1000000, -7) + b"1234" + struct.pack("<H", tail)]
                     if fnv1a(seed) % 16384 == 0)
write("parse_number", numbers + [million_zeros])

addresses = ["192.168.1.20", "10.0.0.7", "10.1", "10..1", " 10.0.0.7", "", "localhost",
             "192.168.001.020", "192.168.1", "a.b.c.d", "10.0.0.255", "256.300.-1.0", "1.2.3.4.5",
             "&HC0.&HA8.1.20", "1e2.0.0.1", "255.255.255.255", "0.0.0.0", bytes([10, 0, 0, 255])]
write("address_text", addresses)

fields = ["\x01|a|b|c", "\x01|abc", "\x01| 5000 |", "\x01.10.0.0.7", "\x01.10..1", "\x01|",
          "\x01|a||c", "\x02||a||b||", "\x00abc", "\x03abcabcabcab", "\x01|192.168.1.20|5000|hello",
          "\x02aaaaa", "\x01||||||||"]
write("parameter_fields", fields)

codes = [0, 5, 52, 57, 300, 1, -3, 10048, 11002, 10013, 11004, 10036, 10103, -2147483648, 2147483647, 255, 256]
write("error_texts", [struct.pack("<i", code) for code in codes] + [b"\x39", b"\x34\x00\x00"])


def step(operation, payload=b""):
    if isinstance(payload, str):
        payload = payload.encode("latin-1")
    return bytes([operation]) + struct.pack("<H", len(payload)) + payload


MY_IP, OPEN, SEND, RECEIVE, CLOSE, NUMBER, ARRIVE, HOLD = range(8)
NULL_REFERENCE, NULL_TEXT = 8, 16
chats = [
    step(MY_IP),
    step(OPEN, "5000") + step(RECEIVE) + step(SEND, "127.0.0.1|5000|hello") + step(RECEIVE) + step(CLOSE),
    step(OPEN, "5000|x") + step(OPEN, "") + step(OPEN, "-1") + step(SEND, "192.168.1.20|5000|")
    + step(SEND, "192.168.1.20|5000|   ") + step(SEND, "192.168.1.20|5000") + step(SEND, "10.0.0.2|5000| hello"),
    step(SEND, "192.168.1.20|5000|hello") + step(RECEIVE) + step(CLOSE) + step(CLOSE),
    step(HOLD, struct.pack("<H", 5000)) + step(OPEN, "5000") + step(SEND, "10.0.0.2|5000|x") + step(OPEN, "70000"),
    step(OPEN, "5000") + step(ARRIVE, b"abc\0def") + step(ARRIVE, b"") + step(ARRIVE, b"\0x")
    + step(RECEIVE) + step(RECEIVE) + step(RECEIVE) + step(RECEIVE),
    b"".join(step(NUMBER, struct.pack("<i", n) + b"5000") for n in (0, 6, -1, 11, 2, -2147483648, 2147483647)),
    step(OPEN | NULL_REFERENCE) + step(RECEIVE | NULL_TEXT) + step(SEND | NULL_TEXT) + step(CLOSE | NULL_REFERENCE),
    step(OPEN, "5000") + step(SEND, "255.255.255.255|5000|all") + step(SEND, "localhost|5000|x")
    + step(SEND, "127.0.0.1|0|x") + step(SEND, "127.0.0.1|&H1388|x") + step(RECEIVE),
    step(OPEN, "1e400") + step(OPEN, "-1e400") + step(OPEN, "&H" + "1" * 17) + step(OPEN, "&"),
    step(OPEN, "5000") + step(SEND, "127.0.0.1|5000|" + "x" * 2000) + step(RECEIVE),
]
write("exec_action", chats)

examples = pathlib.Path(__file__).resolve().parent.parent / "examples"
publications = [path.read_bytes() for path in sorted(examples.glob("[a-z]*.txt"))] + [
    "\xef\xbb\xbfprint [my_port]\r\nQV_chat_open_port [my_port]\r\n",
    "require my_port peer_port nobody\nprint never\n",
    "repeat 3 as n until x = 2\n  set x = [n]\n  if x != 1\n    print [x][[\n  end\nend\n",
    "set x = ab\nrepeat until never\n  set x = [x][x]\nend\n",
    "repeat [count]\nend\npause [x]\nfail [my_port] done\n",
    "if x\n" * 101 + "end\n" * 101,
    "repeat 1\n" * 100 + "QV_chat_rcv_txt\n" + "end\n" * 100,
    "Print x\nelse\nend now\nrepeat 1000001\nset = 3\nqv_chat_my_ip\n",
]
write("publication", publications)

probes = [
    "parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
    "parlino check probe 7 from 198.18.0.1:40001 (windows) to 198.18.0.2:40002, heard 6 of 6, newest 12 held 120.403 ms",
    "parlino check probe 4294967295 from 255.255.255.255:65535 (linux) to 0.0.0.0:1, heard 4294967295 of 4294967295,"
    " newest 4294967295 held 9999999.999 ms",
    "parlino check probe 07 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
    "parlino check probe 2 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 3 of 2, newest 1 held 0.1 ms",
    "parlino check probe 2 from 198.18.1:40001 (Linux) to 198.18.0.2:0, heard 0 ",
    "hello",
]
write("probe_line", probes)
