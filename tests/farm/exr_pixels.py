"""The pixels of an OpenEXR file, read with nothing but the standard library.

The farm test compares the frames a cluster assembled with frames rendered in
one process, pixel for pixel. It reads what the program writes: single-part
scanline files, uncompressed or with ZIP/ZIPS compression, and refuses any
other kind with a clear error rather than comparing something else.
"""

import itertools
import struct
import zlib

MAGIC = 20000630
COMPRESSION_NAMES = {0: "none", 1: "RLE", 2: "ZIPS", 3: "ZIP", 4: "PIZ", 5: "PXR24", 6: "B44", 7: "B44A",
                     8: "DWAA", 9: "DWAB"}
LINES_PER_CHUNK = {0: 1, 2: 1, 3: 16}
CHANNEL_BYTES = {0: 4, 1: 2, 2: 4}  # UINT, HALF, FLOAT


class ExrError(Exception):
    pass


def _read_header(data):
    magic, version = struct.unpack_from("<ii", data, 0)
    if magic != MAGIC:
        raise ExrError("not an OpenEXR file")
    if version & 0x1200:
        raise ExrError("tiled or multi-part OpenEXR files are not read here")
    position, attributes = 8, {}
    while data[position] != 0:
        name_end = data.index(b"\0", position)
        type_end = data.index(b"\0", name_end + 1)
        name = data[position:name_end].decode()
        kind = data[name_end + 1:type_end].decode()
        (size,) = struct.unpack_from("<i", data, type_end + 1)
        start = type_end + 5
        attributes[name] = (kind, data[start:start + size])
        position = start + size
    return attributes, position + 1


def _channels(value):
    channels, position = [], 0
    while value[position] != 0:
        end = value.index(b"\0", position)
        name = value[position:end].decode()
        pixel_type, _, x_sampling, y_sampling = struct.unpack_from("<iB3xii", value, end + 1)
        if (x_sampling, y_sampling) != (1, 1):
            raise ExrError(f"channel {name} is subsampled")
        channels.append((name, pixel_type))
        position = end + 17
    return channels


def _unzip(block, expected):
    if len(block) == expected:
        return block  # stored: compressing did not make it smaller
    raw = zlib.decompress(block)
    if len(raw) != expected:
        raise ExrError(f"a chunk holds {len(raw)} bytes, not {expected}")
    # Undo the byte predictor, then put the two interleaved halves back.
    raw = bytes(itertools.accumulate(raw, lambda previous, delta: (previous + delta - 128) & 0xFF))
    half = (len(raw) + 1) // 2
    out = bytearray(len(raw))
    out[0::2] = raw[:half]
    out[1::2] = raw[half:]
    return bytes(out)


def read_exr(path):
    """{'data_window', 'display_window', 'channels', 'pixels'}: pixels are the
    raw bytes of every scanline, top to bottom, channels in the file's order."""
    with open(path, "rb") as file:
        data = file.read()
    attributes, position = _read_header(data)
    compression = attributes["compression"][1][0]
    if compression not in LINES_PER_CHUNK:
        raise ExrError(f"{path}: {COMPRESSION_NAMES.get(compression, compression)} compression is not read here")
    channels = _channels(attributes["channels"][1])
    data_window = struct.unpack("<iiii", attributes["dataWindow"][1])
    display_window = struct.unpack("<iiii", attributes["displayWindow"][1])
    x_min, y_min, x_max, y_max = data_window
    width, height = x_max - x_min + 1, y_max - y_min + 1
    line_bytes = width * sum(CHANNEL_BYTES[kind] for _, kind in channels)
    lines = LINES_PER_CHUNK[compression]
    chunk_count = (height + lines - 1) // lines
    offsets = struct.unpack_from(f"<{chunk_count}Q", data, position)
    rows = {}
    for offset in offsets:
        y, size = struct.unpack_from("<ii", data, offset)
        count = min(lines, y_max - y + 1)
        block = data[offset + 8:offset + 8 + size]
        expected = count * line_bytes
        raw = block if compression == 0 else _unzip(block, expected)
        for line in range(count):
            rows[y + line] = raw[line * line_bytes:(line + 1) * line_bytes]
    if sorted(rows) != list(range(y_min, y_max + 1)):
        raise ExrError(f"{path}: scanlines are missing")
    return {"data_window": data_window, "display_window": display_window, "channels": channels,
            "pixels": b"".join(rows[y] for y in range(y_min, y_max + 1))}


def same_pixels(a_path, b_path):
    """'' when both files hold the same image pixel for pixel, else why not."""
    a, b = read_exr(a_path), read_exr(b_path)
    for key in ("display_window", "data_window", "channels"):
        if a[key] != b[key]:
            return f"{key} differs: {a[key]} against {b[key]}"
    if a["pixels"] != b["pixels"]:
        differing = sum(1 for x, y in zip(a["pixels"], b["pixels"]) if x != y)
        return f"{differing} of {len(a['pixels'])} pixel bytes differ"
    return ""
