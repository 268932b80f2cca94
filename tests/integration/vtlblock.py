"""A small, independent writer of the launcher's configuration block.

The integration tests use it to pack launchers directly, including blocks
that no packing tool would ever write (lying counts, cut-off data), so the
launcher's reader is tested against the byte format itself.
"""
import struct

MAGIC = 0xE8E413D5
MASK = 0xA7
TAIL = bytes([0xE8, 0xE4, 0x13, 0xD5]) + bytes(4)


def _narrow(value):
    if isinstance(value, bytes):
        return value
    return str(value).encode("cp1252")


def _string(value):
    data = _narrow(value)
    return struct.pack("<i", len(data)) + data


def _wstring(text):
    data = text.encode("utf-16-le")
    return struct.pack("<i", len(data)) + data


def _messages(messages):
    out = struct.pack("<i", len(messages))
    for mid, text in messages:
        out += struct.pack("<i", mid) + _wstring(text)
    return out


def _items(mapping):
    return list(mapping.items()) if isinstance(mapping, dict) else list(mapping)


def build_block(config=None, messages=None, sections=None, files=None, tail=True):
    """config: {key: str|bytes} or a list of (key, value) pairs (duplicates
    allowed); messages: {id: str}; sections: [(code, {id: str})];
    files: [bytes] in storage order (their names go into key 2003)."""
    config = _items(config or {})
    files = files or []
    head = struct.pack("<IIIq", MAGIC, 0, 0xEAFD0C88, 0)
    body = struct.pack("<i", len(config))
    for key, value in config:
        body += struct.pack("<i", key) + _string(value)
    body += _messages(_items(messages or {}))
    sections = sections or []
    body += struct.pack("<i", len(sections))
    for code, msgs in sections:
        body += _string(code) + _messages(_items(msgs))
    area = b""
    for content in files:
        area += struct.pack("<q", len(content)) + bytes(b ^ MASK for b in content)
    block = head + body + area
    # The reserved 64-bit field holds the distance from itself to the file area.
    block = block[:12] + struct.pack("<q", len(head) + len(body) - 12) + block[20:]
    return block + (TAIL if tail else b"")


def block_offset(image):
    """The offset at which a block starts: the end of the raw data of the
    last entry of the PE section table."""
    h = struct.unpack_from("<I", image, 0x3C)[0]
    sections = struct.unpack_from("<H", image, h + 6)[0]
    optional = struct.unpack_from("<H", image, h + 20)[0]
    last = h + 24 + optional + 40 * (sections - 1)
    raw_size, raw_offset = struct.unpack_from("<II", image, last + 16)
    return raw_offset + raw_size


def pack(stub_path, out_path, block):
    with open(stub_path, "rb") as f:
        image = f.read()
    offset = block_offset(image)
    with open(out_path, "wb") as f:
        f.write(image[:offset] + block)
    return out_path
