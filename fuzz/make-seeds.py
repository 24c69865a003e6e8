#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: the blocks a client sends to log in, open and
apply, the packets of docs/packets.md's worked example and of an order with its lines, and the
command texts the windows send. Run from any folder; it writes into fuzz/corpus/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CLASS_ID = "{276F7104-2B30-4414-AD12-DE1160EAA8D1}"


def text(s):
    u = s.encode("utf-16-le")
    return struct.pack("<II", 8, len(u) // 2) + u


def i32(v, ref=False):
    return struct.pack("<Ii", 3 | (0x4000 if ref else 0), v)


def boolean(v):
    return struct.pack("<IH", 11, 0xFFFF if v else 0)


def byte_array(b):
    return struct.pack("<IIiiI", 0x2011, 1, 0, len(b) - 1, len(b)) + b


def by_ref_variant(value):
    return struct.pack("<I", 0x4000) + value


EMPTY = struct.pack("<I", 0)


def block(action, payload, reply=False):
    return struct.pack("<II", (0xDB00 if reply else 0xDA00) + action, len(payload)) + payload


def invoke(disp_id, args, flags=1, result=True, index=0):
    p = i32(index) + i32(disp_id) + i32(flags) + boolean(result) + i32(len(args)) + i32(0)
    for a in reversed(args):  # the last declared argument first
        p += a
    return block(2, p)


def get_records(provider, sql, count=-1, options=1):
    return invoke(20000001, [text(provider), i32(count), i32(0, True), i32(options), text(sql),
                             by_ref_variant(EMPTY), by_ref_variant(EMPTY)])


def apply_updates(provider, delta, max_errors=-1):
    return invoke(20000000, [text(provider), byte_array(delta), i32(max_errors), i32(0, True),
                             by_ref_variant(EMPTY)])


def varint(n):
    out = b""
    while True:
        b = n & 0x7F
        n >>= 7
        if n:
            out += bytes([b | 0x80])
        else:
            return out + bytes([b])


def s(v):
    b = v.encode()
    return varint(len(b)) + b


def header(kind, flags, nfields, nrows, body):
    total = 24 + len(body)
    return b"VMPK" + struct.pack("<HBBIIII", 1, kind, flags, total, nfields, nrows, 0) + body


def descriptor(ftype, name, size=0, flags=0, nested=None):
    n = name.encode()
    d = struct.pack("<BBHI", ftype, flags, len(n), size) + n
    if ftype == 6:
        d += struct.pack("<I", len(nested)) + b"".join(nested)
    return d


KH = descriptor(1, "khid", 50, 2) + descriptor(1, "khname", 50)
LINES = [descriptor(1, "xsdid", 50), descriptor(1, "chid", 50), descriptor(3, "quantity1"),
         descriptor(3, "price1"), descriptor(3, "money1"), descriptor(2, "lineid", 0, 4 | 8)]


def line_row(order, item, q, p, lineid):
    return b"\x00" + s(order) + s(item) + struct.pack("<ddd", q, p, q * p) + struct.pack("<i", lineid)


def order_packet():
    fields = descriptor(1, "xsdid", 50, 2) + descriptor(5, "rq") + descriptor(4, "ischeck") + \
        descriptor(6, "ADOQueryxsdzb", 0, 0, LINES)
    lines = line_row("X1", "A01", 2.0, 1.5, 1) + line_row("X1", "A02", 1.0, 9.25, 2)
    row = b"\x00" + s("X1") + struct.pack("<d", 37621.5) + b"\x01" + struct.pack("<II", 2, len(lines)) + lines
    return header(1, 1, 4, 1, fields + row)


DATA = header(1, 1, 2, 2, KH + b"\x00" + s("01") + s("甲") + b"\x02" + s("02"))
CHANGE = header(2, 0, 2, 1, KH + b"\x02" + struct.pack("<I", 1) + b"\x02" + s("02") + b"\x00" + s("02") + s("乙"))
FAILED = header(3, 0, 0, 1, b"\x01" + struct.pack("<IB", 1, 0) + struct.pack("<I", 0) +
                s("Record changed by another user"))
UPDATED = header(3, 0, 0, 1, b"\x02" + struct.pack("<IB", 4, 1) + struct.pack("<HI", 3, 7) +
                 struct.pack("<H", 1) + struct.pack("<HB", 5, 2) + struct.pack("<i", 42))


def order_change():
    fields = descriptor(1, "xsdid", 50, 2) + descriptor(1, "khid", 50) + descriptor(6, "ADOQueryxsdzb", 0, 0, LINES)
    line = b"\x01" + struct.pack("<I", 1) + b"\x20" + s("X2") + s("A01") + struct.pack("<ddd", 1, 2, 2)
    rec = b"\x01" + struct.pack("<I", 1) + b"\x04" + s("X2") + s("01") + struct.pack("<II", 2, 1) + line
    return header(2, 0, 3, 1, fields + rec)


def write(folder, name, data):
    with open(os.path.join(HERE, "corpus", folder, name), "wb") as f:
        f.write(data)


LOGIN = "select * from user1 where username='管理员' and password1='vantu'"
session = [
    block(4, text(CLASS_ID)),
    block(3, i32(0) + text("GetSysTime")),
    get_records("DataSetProviderhz", "select username from user1"),
    invoke(1, [by_ref_variant(EMPTY)], result=False),
    invoke(2, [struct.pack("<I", 0x4008) + text(v)[4:] for v in ("PC-01", "192.168.0.5", "管理员", "2003-01-01")],
           result=False),
    get_records("DataSetProviderkh", "select * from kh"),
    get_records("DataSetProviderkh", "", count=-1, options=2),
    get_records("DataSetProviderkh", "", count=0, options=2),
    apply_updates("DataSetProviderkh", CHANGE),
    apply_updates("DataSetProviderxsdtb", order_change(), 0),
    invoke(20000002, [text("DataSetProviderkh"), byte_array(b"\x01\x02")]),
    invoke(20000003, [], flags=3),
    invoke(20000006, [text("DataSetProviderhz"), text("select 1"), by_ref_variant(EMPTY), by_ref_variant(EMPTY)],
           result=False),
    block(16, b""),
    block(18, b""),
    block(5, i32(0)),
]
for accept in (0, 1):
    write("wire", f"session-{accept}", bytes([accept]) + b"".join(session))
for n, b in enumerate(session):
    write("wire", f"block-{n:02d}", b"\x00" + session[0] + b)
write("wire", "callback", b"\x01" + session[0] + invoke(3, [struct.pack("<Ii", 9, 0), i32(21)]) +
      block(3, i32(0) + i32(1), reply=True) + block(2, i32(0) + i32(42), reply=True))
write("wire", "error-reply", b"\x00" + session[0] + block(1, text("服务器正在关闭"), reply=True) + block(1, text("x")))

for kind, name, packet in ((0, "data", DATA), (0, "order", order_packet()), (1, "change", CHANGE),
                           (1, "order-change", order_change()), (2, "failed", FAILED), (2, "updated", UPDATED)):
    write("packet", name, bytes([kind]) + packet)

STATEMENTS = [
    "select * from kh", "select * from ch where chflid='01-001'", "select * from chfl order by chflid",
    "select * from xsdtb where xsdid='X1'", "select * from xsdview where rq>='2002-10-01' and rq<='2003-03-31'",
    "select khid,khname,chid,chname,sum(quantity1) as sl,sum(money1) as je from xsdview group by khid,khname,chid,chname",
    "select sum(quantity1) as sl,sum(money1) as je from xsdview where khid like '%0%'",
    "select username from user1", "select khid, khid from kh", "select 3000000000",
    "select 1 union all select 2.5 union all select 1e300", "select * from ywy where ywyname like '%''%'",
    "select count(*) from xsdzb", "select max(lineid) from xsdzb",
]
for n, sql in enumerate(STATEMENTS):
    for provider in (3, 8):  # DataSetProviderxsdtb nests lines; DataSetProviderhz reads anything
        write("statement", f"sql-{n:02d}-{provider}", bytes([provider]) + sql.encode())
write("statement", "execute", bytes([0x88]) + b"select 1")


# Regression inputs: one per fault found from outside, replayed by the tests for good.
def regression(folder, name, data):
    with open(os.path.join(HERE, "regressions", folder, name), "wb") as f:
        f.write(data)


OBJ = struct.pack("<Ii", 9, 0)
create = block(4, text(CLASS_ID))
# The peer's own reference comes back from the echo as object 1, whose every call waits for the
# next block: another call on object 1.
regression("wire", "reflected-reference", b"\x01" + create + invoke(20000002, [text("p"), OBJ]) +
           b"".join(invoke(1, [i32(n)], index=1) for n in range(200)))
many = struct.pack("<IIii", 0x200C, 1, 0, 4999) + OBJ * 5000
regression("wire", "many-references", b"\x01" + create + invoke(20000002, [text("p"), many]))
regression("wire", "int32-min-bound", b"\x00" + create + invoke(20000002, [text("p"), struct.pack(
    "<IIiiIB", 0x2011, 1, -2**31, -2**31, 1, 42)]))
regression("wire", "date-as-text", b"\x00" + create + invoke(2, [struct.pack("<Id", 7, 1e30)] * 4, result=False))
empty2d = struct.pack("<IIiiii", 0x2008, 2, 0, 0, 4, -1)
regression("wire", "empty-2d-array", b"\x00" + create + invoke(20000002, [text("p"), empty2d]))
regression("wire", "byref-variant-array", b"\x00" + create + invoke(20000004, [
    text("p"), by_ref_variant(byte_array(b"\x01\x02\x03"))]))
regression("wire", "error-blocks", b"\x00" + create + block(1, text("boom")) + block(1, text("boom"), reply=True) +
           block(4, text(CLASS_ID)))
for n, sql in enumerate(["select khid, khid from kh", "select 3000000000",
                         "select 1 union all select 2.5 union all select 1e300",
                         "select xsdid, xsdid as ADOQueryxsdzb from xsdtb", "select 9223372036854775807"]):
    regression("statement", f"column-{n}", bytes([3]) + sql.encode())
regression("packet", "date-out-of-range", b"\x00" + header(1, 1, 1, 1, descriptor(5, "rq") + b"\x00" +
                                                          struct.pack("<d", 1e30)))
