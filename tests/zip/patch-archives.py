"""Damaged and crafted variants of the archives make-archives.sh wrote."""
import os
import struct
import sys
import zlib

out = sys.argv[1]


def read(name):
    with open(os.path.join(out, name), "rb") as f:
        return bytearray(f.read())


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def end_record(data):
    at = data.rfind(b"PK\x05\x06")
    count, size, offset = struct.unpack_from("<HII", data, at + 10)
    return at, count, size, offset


def central_entries(data):
    """(offset of central header, name, local header offset) per entry."""
    at, count, size, offset = end_record(data)
    pos, result = offset, []
    for _ in range(count):
        assert data[pos:pos + 4] == b"PK\x01\x02"
        n, m, k = struct.unpack_from("<HHH", data, pos + 28)
        local = struct.unpack_from("<I", data, pos + 42)[0]
        result.append((pos, bytes(data[pos + 46:pos + 46 + n]), local))
        pos += 46 + n + m + k
    return result


def local_data_start(data, local):
    n, m = struct.unpack_from("<HH", data, local + 26)
    return local + 30 + n + m


def rename(data, old, new):
    assert len(old) == len(new)
    assert data.count(old) == 2, old  # local and central header
    return bytearray(data.replace(old, new))


# CRC error: flip one byte in the middle of the stored (encrypted) blob.
data = read("main.zip")
for cen, name, local in central_entries(data):
    if name.endswith(b"blob.png"):
        comp = struct.unpack_from("<I", data, cen + 20)[0]
        data[local_data_start(data, local) + comp // 2] ^= 0x55
write("crc.zip", data)

# The empty archive: nothing but an end record.
write("empty.zip", b"PK\x05\x06" + bytes(18))

# Garbage after the archive comment, and harmless zero padding.
data = read("comment.zip")
write("garbage.zip", data + b"xyz")
write("padded.zip", data + bytes(100))

# Wrong central directory offset in the end record (size still right).
data = read("plain.zip")
at, count, size, offset = end_record(data)
struct.pack_into("<I", data, at + 16, offset + 7)
write("badoffset.zip", data)

# A bad signature on the second central header.
data = read("plain.zip")
cen = central_entries(data)[1][0]
data[cen:cen + 4] = b"PK\x01\x09"
write("badsig.zip", data)

# Names leaving the folder: "../", an absolute path and a drive letter.
data = read("evil.zip")
data = rename(data, b"zz/evil.txt", b"../evil.txt")
data = rename(data, b"Xabs.txt", b"/abs.txt")
data = rename(data, b"CC/drive.txt", b"C:/drive.txt")
write("evil.zip", data)

# Declared size far below what the data inflate to.
data = read("bomb.zip")
for cen, name, local in central_entries(data):
    struct.pack_into("<I", data, cen + 24, 1000)
    struct.pack_into("<I", data, local + 22, 1000)
write("bomb.zip", data)

# Spanned: the split-archive marker in front.
write("spanned.zip", b"PK\x07\x08" + read("plain.zip"))


# Traditional encryption, for an entry whose check byte is the CRC's high
# byte (no data descriptor), as other tools write it.
def keys_for(password):
    keys = [0x12345678, 0x23456789, 0x34567890]
    for c in password:
        update(keys, c)
    return keys


def crc_byte(crc, b):
    return zlib.crc32(bytes([b]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF


def update(keys, c):
    keys[0] = crc_byte(keys[0], c)
    keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
    keys[2] = crc_byte(keys[2], keys[1] >> 24)


def stream_byte(keys):
    t = (keys[2] | 2) & 0xFFFF
    return ((t * (t ^ 1)) >> 8) & 0xFF


def decrypt(password, blob):
    keys, plain = keys_for(password), bytearray()
    for b in blob:
        p = b ^ stream_byte(keys)
        update(keys, p)
        plain.append(p)
    return plain


def encrypt(password, plain):
    keys, blob = keys_for(password), bytearray()
    for p in plain:
        blob.append(p ^ stream_byte(keys))
        update(keys, p)
    return blob


data = read("main.zip")
password = b"mirabel "
for cen, name, local in central_entries(data):
    if not name.endswith(b"readme.txt"):
        continue
    flags, = struct.unpack_from("<H", data, cen + 8)
    crc, comp = struct.unpack_from("<II", data, cen + 16)
    start = local_data_start(data, local)
    plain = decrypt(password, data[start:start + comp])
    plain[11] = crc >> 24
    data[start:start + comp] = encrypt(password, plain)
    # No data descriptor any more: the local header carries the sizes.
    struct.pack_into("<H", data, cen + 8, flags & ~8)
    struct.pack_into("<H", data, local + 6, flags & ~8)
    struct.pack_into("<III", data, local + 14, crc, comp, struct.unpack_from("<I", data, cen + 24)[0])
write("crccheck.zip", data)


# The UTF-8 mark on "café.txt" (stored as UTF-8 by zip, unmarked); an Info-ZIP
# Unicode Path field on "naive.txt" naming it "naïve.txt"; one on "stale.txt"
# whose CRC belongs to another name, so it must be ignored.
def unicode_path(stored, utf8):
    field = struct.pack("<BI", 1, zlib.crc32(stored)) + utf8
    return struct.pack("<HH", 0x7075, len(field)) + field


def add_central_extra(data, name, extra):
    at, count, size, offset = end_record(data)
    for cen, n, local in central_entries(data):
        if n != name:
            continue
        nlen, mlen = struct.unpack_from("<HH", data, cen + 28)
        insert = cen + 46 + nlen + mlen
        data[insert:insert] = extra
        struct.pack_into("<H", data, cen + 30, mlen + len(extra))
        at += len(extra)
        struct.pack_into("<I", data, at + 12, size + len(extra))
        return data
    raise KeyError(name)


data = read("utf8.zip")
cafe = "café.txt".encode()
for cen, name, local in central_entries(data):
    if name == cafe:
        for pos in (cen + 8, local + 6):
            flags, = struct.unpack_from("<H", data, pos)
            struct.pack_into("<H", data, pos, flags | 0x800)
data = add_central_extra(data, b"naive.txt", unicode_path(b"naive.txt", "naïve.txt".encode()))
data = add_central_extra(data, b"stale.txt", unicode_path(b"other.txt", b"wrong.txt"))
write("utf8.zip", data)
