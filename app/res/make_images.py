#!/usr/bin/python3
"""Draws the program's bitmaps and icon: the toolbar strip (24 images of 16x15 on the key
colour 0xC0C0C0), the menu image strip (12 images of 13x13), the two push-button bitmaps,
the splash picture and the program icon. Run it from anywhere; it writes
next to itself. The outputs are committed, so the build does not need this script."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

PALETTE = {
    '.': (0xC0, 0xC0, 0xC0),  # key colour: transparent
    'k': (0x00, 0x00, 0x00),
    'w': (0xFF, 0xFF, 0xFF),
    'g': (0x80, 0x80, 0x80),
    'l': (0xE0, 0xE0, 0xE0),
    'y': (0xFF, 0xD8, 0x40),
    'o': (0xB0, 0x78, 0x00),
    'b': (0x00, 0x00, 0xA0),
    'B': (0x40, 0x80, 0xFF),
    'r': (0xD0, 0x00, 0x00),
    'G': (0x00, 0x80, 0x00),
    'c': (0x00, 0x90, 0x90),
    'p': (0x80, 0x00, 0x80),
}

# One image per toolbar button, in the order of the buttons (separators have none).
IMAGES = [
    # cut
    ["................", "...k......k.....", "...k......k.....", "...k......k.....",
     "....k....k......", "....k....k......", ".....k..k.......", "......kk........",
     "......kk........", ".....r..r.......", "...rrr..rrr.....", "..r..r..r..r....",
     "..r..r..r..r....", "...rr....rr.....", "................"],
    # copy
    ["................", ".kkkkkk.........", ".kwwwwkk........", ".kwkkwkwk.......",
     ".kwwwwkkkkkkk...", ".kwkkkkwwwwwkk..", ".kwwwwkwkkkwkwk.", ".kwkkkkwwwwwkkkk",
     ".kwwwwkwkkkkkwk.", ".kkkkkkwwwwwwwk.", "......kwkkkkkwk.", "......kwwwwwwwk.",
     "......kwkkkkkwk.", "......kwwwwwwwk.", "......kkkkkkkkk."],
    # paste
    ["................", "....kkkkk.......", ".kkkkwwwkkkk....", ".koookkkoook....",
     ".kooooooooook...", ".kooookkkkkkkk..", ".kooookwwwwwkwk.", ".kooookwkkkwkkwk",
     ".kooookwwwwwwwwk", ".kooookwkkkkkkwk", ".kooookwwwwwwwwk", ".kooookwkkkkkkwk",
     ".kkkkkkwwwwwwwwk", "......kkkkkkkkkk", "................"],
    # text search: magnifier over "T"
    ["................", ".kkkkkkk........", ".k.....k........", ".kbbbbbk........",
     ".k..b..k........", ".k..b..k..kkk...", ".k..b..k.kwwwk..", ".kkkkkkk.kwBwk..",
     ".........kwwwk..", "..........kkkk..", "............kk..", ".............kk.",
     "..............kk", "...............k", "................"],
    # value search: magnifier over "01"
    ["................", ".kkkkkkkkk......", ".k.rr..r.k......", ".kr..rrr.k......",
     ".kr..r.r.k......", ".k.rr..r.k.kkk..", ".k.......kkwwwk.", ".kkkkkkkkkkwBwk.",
     "..........kwwwk.", "...........kkkk.", ".............kk.", "..............kk",
     "...............k", "................", "................"],
    # add files: folder with a plus
    ["................", "..........GG....", "..........GG....", "........GGGGGG..",
     ".kkkk...GGGGGG..", "kyyyyk....GG....", "kyyyyykkkkGGk...", "kyyyyyyyyyyyk...",
     "kyyyyyyyyyyyk...", "kyyyyyyyyyyyk...", "kyyyyyyyyyyyk...", "kyyyyyyyyyyyk...",
     "kkkkkkkkkkkkk...", "................", "................"],
    # insert all files: folder with pages
    ["................", "........kkkkkk..", "........kwwwwkk.", ".....kkkkkkwwwk.",
     ".kkkkkwwwwkwwwk.", "kyyykwwwwkkkwwk.", "kyyykwkkwwkwwwk.", "kyyykwwwwwkwwwk.",
     "kyyykwkkkwkkkkk.", "kyyykwwwwwkyyk..", "kyyykkkkkkkyyk..", "kyyyyyyyyyyyyk..",
     "kkkkkkkkkkkkkk..", "................", "................"],
    # clear list: red cross over a list
    ["................", ".kkkkkkkkkkkk...", ".kwwwwwwwwwwk...", ".kwkkkkkkkkwk...",
     ".kwwrrwwwrrwk...", ".kwkkrrkrrkwk...", ".kwwwwrrrwwwk...", ".kwkkkrrrkkwk...",
     ".kwwwrrwrrwwk...", ".kwkrrkkkrrwk...", ".kwwwwwwwwwwk...", ".kkkkkkkkkkkk...",
     "................", "................", "................"],
    # compare files: two pages with '='
    ["................", ".kkkkk...kkkkk..", ".kwwwkk..kwwwkk.", ".kwkkwwk.kwkkwwk",
     ".kwwwwwk.kwwwwwk", ".kwkkkwk.kwkkkwk", ".kwwwwwk.kwwwwwk", ".kwkkkwk.kwkkkwk",
     ".kwwwwwk.kwwwwwk", ".kkkkkkk.kkkkkkk", "................", ".....bbbbbb.....",
     "................", ".....bbbbbb.....", "................"],
    # compare text: two pages with coloured lines
    ["................", ".kkkkkk..kkkkkk.", ".kwwwwk..kwwwwk.", ".kwkkwk..kwkkwk.",
     ".kwwwwk..kwwwwk.", ".krrrrk..kGGGGk.", ".kwwwwk..kwwwwk.", ".kwkkwk..kwkkwk.",
     ".kwwwwk..kwwwwk.", ".kwkkwk..kwrrwk.", ".kwwwwk..kwwwwk.", ".kkkkkk..kkkkkk.",
     "...kk....kk.....", "....kkkkkk......", "................"],
    # convert tabs: arrow to a bar
    ["................", "................", "..k..........k..", "..k..........k..",
     "..k.......k..k..", "..k.......kk.k..", "..kbbbbbbbbbkk..", "..kbbbbbbbbbbk..",
     "..kbbbbbbbbbkk..", "..k.......kk.k..", "..k.......k..k..", "..k..........k..",
     "..k..........k..", "................", "................"],
    # identical files: two equal pages with a tick
    ["................", ".kkkkk..........", ".kwwwkk.kkkkk...", ".kwkkwwkkwwwkk..",
     ".kwwwwwkkwkkwwk.", ".kwkkkwkkwwwwwk.", ".kwwwwwkkwkkkwk.", ".kwkkkwkkwwwwwk.",
     ".kkkkkkkkwkkkwk.", "........kwwwwwG.", "........kkkkkGG.", "...........GGG..",
     "........G.GGG...", "........GGGG....", ".........GG....."],
    # rename: "ab" to "AB"
    ["................", "................", ".kkkkkkkkkkkkkk.", ".kwwwwwwwwwwwwk.",
     ".kwbbbwbbbwwwwk.", ".kwbwbwbwbwwwwk.", ".kwbbbwbbbwrwwk.", ".kwbwbwbwbwrrwk.",
     ".kwbwbwbbbwrrrk.", ".kwwwwwwwwwrrwk.", ".kwwwwwwwwwrwwk.", ".kkkkkkkkkkkkkk.",
     "................", "................", "................"],
    # OEM to ANSI: "A" to "a" with an arrow
    ["................", "..kk............", ".k..k...........", ".k..k...........",
     ".kkkk...........", ".k..k...........", ".k..k...........", "......bbbbb.....",
     "......bbbbbb....", "......bbbbb.....", "...........kkk..", "..............k.",
     "...........kkkk.", "..........k...k.", "...........kkkk."],
    # Unix to Windows line ends: LF to CR LF
    ["................", ".k...kkkk.......", ".k...k..........", ".k...kkk........",
     ".k...k..........", ".kkk.k..........", "........bbb.....", "........bbbb....",
     "........bbb.....", "..kkk.kkk..k...k", ".k....k..k.k...k", ".k....kkk..k...k",
     ".k....k.k..k...k", "..kkk.k..k.kkk.k", "............kkkk"],
    # directory compare: two folders
    ["................", ".kkk......kkk...", "kyyyk....kyyyk..", "kyyyykkk.kyyyykkk",
     "kyyyyyyk.kyyyyyyk", "kyyyyyyk.kyyyyyyk", "kyyyyyyk.kyyyyyyk", "kkkkkkkk.kkkkkkkk",
     "................", "...bbbbbbbbbb...", "..bb........bb..", ".bbb........bbb.",
     "..bb........bb..", "...b........b...", "................"],
    # copy files: page and arrow into a folder
    ["................", ".kkkkk..........", ".kwwwkk.........", ".kwkkwwk........",
     ".kwwwwwk..G.....", ".kwkkkwk..GG....", ".kwwwwwkGGGGG...", ".kkkkkkk..GG....",
     ".......kkkG.....", "......kyyyk.....", "......kyyyykkkk.", "......kyyyyyyyk.",
     "......kyyyyyyyk.", "......kkkkkkkkk.", "................"],
    # zip: a box with a zip line
    ["................", "....kkkkkkk.....", "...kyyyykyyk....", "..kyyyyyyyyyk...",
     ".kkkkkkkkkkkkk..", ".koooookoooook..", ".koooookkooook..", ".kooooookoooook.",
     ".koooookkooook..", ".koooookoooook..", ".koooookkooook..", ".kooooookoooook.",
     ".kkkkkkkkkkkkk..", "................", "................"],
    # C formatter: a C and braces
    ["................", "................", "..bbbb.....k....", ".bb..bb...k.....",
     ".bb.......k.....", ".bb.......k.....", ".bb......k......", ".bb.......k.....",
     ".bb.......k.....", ".bb..bb...k.....", "..bbbb.....k....", "................",
     "..kkkkkkkkkkkk..", "................", "................"],
    # run execution menu: a play triangle over a list
    ["................", ".kkkkkkkkkkkk...", ".kwwwwwwwwwwk...", ".kwkkkkkkkkwk...",
     ".kwwwwwwwwwwk...", ".kwkkkkGkkkwk...", ".kwwwwwGGwwwk...", ".kwkkkkGGGkwk...",
     ".kwwwwwGGGGwk...", ".kwkkkkGGGkwk...", ".kwwwwwGGwwwk...", ".kkkkkkGkkkkk...",
     "................", "................", "................"],
    # insert lines
    ["................", ".kkkkkkkkkkk....", ".kwwwwwwwwwk....", ".kwkkkkkkkwk....",
     ".kwwwwwwwwwk....", ".kwGGGGGGGwk.GG.", ".kwwwwwwwwwk.GG.", ".kwkkkkkkkwkGGGG",
     ".kwwwwwwwwwkGGGG", ".kwkkkkkkkwk.GG.", ".kwwwwwwwwwk.GG.", ".kkkkkkkkkkk....",
     "................", "................", "................"],
    # delete lines
    ["................", ".kkkkkkkkkkk....", ".kwwwwwwwwwk....", ".kwkkkkkkkwk....",
     ".kwwwwwwwwwk....", ".kwrrrrrrrwk....", ".kwwwwwwwwwk....", ".kwkkkkkkkwkrrrr",
     ".kwwwwwwwwwkrrrr", ".kwkkkkkkkwk....", ".kwwwwwwwwwk....", ".kkkkkkkkkkk....",
     "................", "................", "................"],
    # refresh: circular arrow
    ["................", "......bbbb......", "....bb....bb....", "...b........b.b.",
     "..b..........bb.", "..b.........bbb.", ".b...........b..", ".b..............",
     ".b...........b..", "..b..........b..", "..bb........b...", "...b........b...",
     "....bb....bb....", "......bbbb......", "................"],
    # about: a question mark
    ["................", ".....kkkkk......", "....kBBBBBk.....", "...kBBkkkBBk....",
     "...kBBk.kBBk....", "....kk.kBBk.....", "......kBBk......", "......kBBk......",
     "......kBBk......", ".......kk.......", "......kBBk......", "......kBBk......",
     ".......kk.......", "................", "................"],
]


# Menu image strip: 13x13 images side by side; the top-left pixel of each is the key colour.
MENU_IMAGES = [
    # 0 cut
    [".............", "..k.......k..", "..k.......k..", "...k.....k...", "...k.....k...",
     "....k...k....", ".....k.k.....", "......k......", ".....r.r.....", "..rrr...rrr..",
     ".r..r...r..r.", ".r..r...r..r.", "..rr.....rr.."],
    # 1 copy
    [".............", "kkkkkk.......", "kwwwwkk......", "kwkkwkwk.....", "kwwwwkkkkkk..",
     "kwkkkkwwwwkk.", "kwwwwkwkkwkwk", "kwkkkkwwwwkkk", "kwwwwkwkkkkwk", "kkkkkkwwwwwwk",
     ".....kwkkkkwk", ".....kwwwwwwk", ".....kkkkkkkk"],
    # 2 paste
    [".............", "....kkkk.....", ".kkkkwwkkkk..", ".koookkoook..", ".kooooooook..",
     ".koookkkkkkk.", ".koookwwwwwkk", ".koookwkkkwwk", ".koookwwwwwwk", ".koookwkkkkwk",
     ".kkkkkwwwwwwk", ".....kkkkkkkk", "............."],
    # 3 delete
    [".............", ".rr.......rr.", ".rrr.....rrr.", "..rrr...rrr..", "...rrr.rrr...",
     "....rrrrr....", ".....rrr.....", "....rrrrr....", "...rrr.rrr...", "..rrr...rrr..",
     ".rrr.....rrr.", ".rr.......rr.", "............."],
    # 4 text tool: a page with lines of text
    [".............", "..kkkkkkk....", "..kwwwwwkk...", "..kwbbbwkwk..", "..kwwwwwkkkk.",
     "..kwbbbbbbwk.", "..kwwwwwwwwk.", "..kwbbbbbwwk.", "..kwwwwwwwwk.", "..kwbbbbbbwk.",
     "..kwwwwwwwwk.", "..kkkkkkkkkk.", "............."],
    # 5 hex tool: a page with "01"
    [".............", "..kkkkkkk....", "..kwwwwwkk...", "..kwwwwwkwk..", "..kwwwwwkkkk.",
     "..kwrrwwrwwk.", "..krwwrrrwwk.", "..krwwrwrwwk.", "..krwwrwrwwk.", "..kwrrwwrwwk.",
     "..kwwwwwwwwk.", "..kkkkkkkkkk.", "............."],
    # 6 search: a magnifier
    [".............", "...kkkk......", "..kwwwwk.....", ".kwwBBwwk....", ".kwBwwwwk....",
     ".kwBwwwwk....", ".kwwwwwwk....", "..kwwwwkk....", "...kkkkokk...", "........okk..",
     ".........okk.", "..........ok.", "............."],
    # 7 sort by path: a folder and a down arrow
    [".............", ".kkk.....b...", "kyyyk....b...", "kyyyykkk.b...", "kyyyyyyk.b...",
     "kyyyyyyk.b...", "kyyyyyyk.b...", "kkkkkkkkbbb..", ".........b...", "..kkkkk......",
     "..k...k......", "..kkkkk......", "............."],
    # 8 sort by name: "A" over "Z" and a down arrow
    [".............", "..kk.....b...", ".k..k....b...", ".kkkk....b...", ".k..k....b...",
     ".k..k....b...", ".........b...", ".kkkk....b...", "....k....b...", "...k...bbbbb.",
     "..k.....bbb..", ".kkkk....b...", "............."],
    # 9 name: a page with its name marked
    [".............", "..kkkkkkk....", "..kwwwwwkk...", "..kwwwwwkwk..", "..kwwwwwkkkk.",
     "..kwwwwwwwwk.", "..kBBBBBBBwk.", "..kBwwBwBBwk.", "..kBBBBBBBwk.", "..kwwwwwwwwk.",
     "..kwwwwwwwwk.", "..kkkkkkkkkk.", "............."],
    # 10 open: an open folder
    [".............", ".kkk.........", "kyyyk........", "kyyyykkkkk...", "kyyyyyyyyk...",
     "kyykkkkkkkkk.", "kyykooooooook", "kykooooooook.", "kykooooooook.", "kkoooooooook.",
     "kkkkkkkkkkk..", ".............", "............."],
    # 11 sort by type: three kinds of file and a down arrow
    [".............", ".rr......b...", ".rr......b...", ".........b...", ".GG......b...",
     ".GG......b...", ".........b...", ".BB......b...", ".BB......b...", ".......bbbbb.",
     "........bbb..", ".........b...", "............."],
]

# Push-button bitmaps, drawn on the key colour which the button turns into its face colour.
BROWSE_BUTTON = [  # a folder: the browse buttons next to path fields
    "..............", ".kkkk.........", "kyyyyk........", "kyyyyykkkkkk..", "kyyyyyyyyyyyk.",
    "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.", "kyyyyyyyyyyyk.",
    "kkkkkkkkkkkkk.", ".............."]
MENU_BUTTON = [  # an arrow to the right: a button that opens a menu beside it
    "........", ".k......", ".kk.....", ".kkk....", ".kkkk...", ".kkkkk..", ".kkkk...", ".kkk....",
    ".kk.....", ".k......", "........"]


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b) with y counted from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b'\0' * (stride - len(row))
        rows.append(bytes(row))
    data = b''.join(rows)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
    return file_header + header + data


def bmp8(rows):
    """A bottom-up 8-bit BMP with a colour table: LoadImage maps its greys to the 3D colours."""
    keys = list(PALETTE)
    width, height = len(rows[0]), len(rows)
    stride = (width + 3) & ~3
    data = b''.join(bytes(keys.index(c) for c in row) + b'\0' * (stride - width) for row in reversed(rows))
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE.values())
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(data), 2835, 2835, len(keys), 0)
    offset = 14 + 40 + len(table)
    return struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset) + header + table + data


def menu_strip():
    for n, img in enumerate(MENU_IMAGES):
        assert len(img) == 13 and all(len(row) == 13 for row in img), n
        assert img[0][0] == '.', n
    return bmp24(13 * len(MENU_IMAGES), 13, lambda x, y: PALETTE[MENU_IMAGES[x // 13][y][x % 13]])


def button(rows):
    assert all(len(row) == len(rows[0]) for row in rows)
    return bmp8(rows)


def toolbar():
    assert len(IMAGES) == 24
    for n, img in enumerate(IMAGES):
        assert len(img) == 15, n
        for row in img:
            assert len(row) >= 16, (n, row)

    def pixel(x, y):
        img = IMAGES[x // 16]
        return PALETTE[img[y][x % 16]]
    return bmp24(16 * 24, 15, pixel)


def splash():
    w, h = 281, 256

    def pixel(x, y):
        # A blue gradient with a lighter band and a frame.
        if x < 2 or y < 2 or x >= w - 2 or y >= h - 2:
            return (0x20, 0x20, 0x40)
        t = y / h
        r = int(0x10 + 0x30 * t)
        g = int(0x30 + 0x50 * t)
        b = int(0x80 + 0x60 * t)
        if 96 <= y < 160:
            r, g, b = min(255, r + 0x50), min(255, g + 0x50), min(255, b + 0x40)
        return (r, g, b)
    # Big block letters "VM" inside the band.
    glyph_v = ["x...x", "x...x", "x...x", ".x.x.", "..x.."]
    glyph_m = ["x...x", "xx.xx", "x.x.x", "x...x", "x...x"]
    scale = 10
    left_v, left_m, top = 70, 150, 103

    def lettered(x, y):
        for left, glyph in ((left_v, glyph_v), (left_m, glyph_m)):
            gx, gy = (x - left) // scale, (y - top) // scale
            if 0 <= gx < 5 and 0 <= gy < 5 and x >= left and y >= top and glyph[gy][gx] == 'x':
                return (0xFF, 0xFF, 0xFF)
        return pixel(x, y)
    return bmp24(w, h, lettered)


def icon_image(size):
    """32-bit icon image (BITMAPINFOHEADER with double height, XOR then AND mask)."""
    def colour(x, y):
        # A page with a magnifier.
        s = size / 32.0
        px, py = x / s, y / s
        cx, cy, rad = 19, 19, 8
        d = ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5
        if rad - 2.5 <= d <= rad:
            return (0x20, 0x20, 0x20, 255)
        if d < rad - 2.5:
            return (0xA0, 0xD0, 0xFF, 255)
        if px >= 24 and py >= 24 and abs((px - 24) - (py - 24)) < 2.5 and px < 31 and py < 31:
            return (0x60, 0x30, 0x00, 255)
        if 3 <= px < 21 and 1 <= py < 27:
            if px < 4 or px >= 20 or py < 2 or py >= 26:
                return (0x40, 0x40, 0x40, 255)
            if int(py) % 4 == 0 and 6 <= px < 17:
                return (0x00, 0x00, 0xA0, 255)
            return (0xFF, 0xFF, 0xFF, 255)
        return (0, 0, 0, 0)
    xor = bytearray()
    and_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = 0
        row = bytearray()
        for x in range(size):
            r, g, b, a = colour(x, y)
            xor += bytes((b, g, r, a))
            bits = (bits << 1) | (0 if a else 1)
            if x % 8 == 7:
                row.append(bits)
                bits = 0
        row += b'\0' * (and_stride - len(row))
        mask += row
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def icon():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, img in zip((32, 16), images):
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + entries + b''.join(images)


def main():
    with open(os.path.join(HERE, 'Toolbar.bmp'), 'wb') as f:
        f.write(toolbar())
    with open(os.path.join(HERE, 'MenuImages.bmp'), 'wb') as f:
        f.write(menu_strip())
    with open(os.path.join(HERE, 'BrowseButton.bmp'), 'wb') as f:
        f.write(button(BROWSE_BUTTON))
    with open(os.path.join(HERE, 'MenuButton.bmp'), 'wb') as f:
        f.write(button(MENU_BUTTON))
    with open(os.path.join(HERE, 'Splash.bmp'), 'wb') as f:
        f.write(splash())
    with open(os.path.join(HERE, 'Vellmorant.ico'), 'wb') as f:
        f.write(icon())


if __name__ == '__main__':
    main()
