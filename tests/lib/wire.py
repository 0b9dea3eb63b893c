"""Fields of the AC protocol in wire form (big-endian), for requests and replies written by
hand: numbers of 1, 2 and 4 bytes (negative ones in two's complement), a text with its u16
length, a dotted IPv4 address, and a configuration item (u16 type, u16 key length, key, u16
value length, value)."""


def u8(v):
    return bytes([v & 0xFF])


def u16(v):
    return (v & 0xFFFF).to_bytes(2, "big")


def u32(v):
    return (v & 0xFFFFFFFF).to_bytes(4, "big")


def text(s):
    b = s.encode() if isinstance(s, str) else s
    return u16(len(b)) + b


def addr(s):
    return bytes(int(x) for x in s.split("."))


def item(type_, key=b"", value=b""):
    return u16(type_) + u16(len(key)) + key + u16(len(value)) + value
