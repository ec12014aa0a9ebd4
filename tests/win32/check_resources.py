#!/usr/bin/env python3
"""Checks the resources compiled into panelcal.exe.

The program carries exactly two resources, the setup dialog's templates HosSetBox (Japanese)
and HosSetBoxE (English), both standard DLGTEMPLATEs under language 1033. This walks the
resource tree (read by pefile) and compares every field of both templates with the table below.

    check_resources.py EXE             check the executable
    check_resources.py --self-test EXE also make sure that damaged copies are caught
    ... --same-as OTHER.exe EXE        and that both templates are byte for byte those of
                                       OTHER.exe (another build of the same sources)
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import Fault, parse, patched, pefile, report, report_self_test  # noqa: E402

RT_DIALOG = 5
LANG_EN_US = 1033
BUTTON = 0x0080
STATIC = 0x0082
NO_ID = 0xFFFF

DIALOG = {
    "style": 0x80400000,  # WS_POPUP | WS_DLGFRAME, no DS_ flags: no font
    "exStyle": 0,
    "rect": (65, 25, 134, 170),
    "menu": None,
    "class": None,
    "title": "",
}

# (id, class atom, style, (x, y, cx, cy), Japanese text, English text)
INCH = "\uff72\uff9d\uff81"  # half-width katakana i, n, chi
ITEMS = [
    (NO_ID, STATIC, 0x50020001, (0, 8, 140, 12), "補正パラメータ設定", "Calibration parameter setup"),
    (NO_ID, BUTTON, 0x50020007, (4, 30, 60, 65), "パネルサイズ", "  Panel size "),
    (10, BUTTON, 0x50030004, (8, 42, 50, 12), " 12.1 " + INCH, " 12.1 inch"),
    (11, BUTTON, 0x50000004, (8, 54, 50, 12), " 10.4 " + INCH, " 10.4 inch"),
    (12, BUTTON, 0x50000004, (8, 66, 50, 12), "  8.4 " + INCH, "  8.4 inch"),
    (13, BUTTON, 0x50000004, (8, 78, 50, 12), "  6.7 " + INCH, "  6.7 inch"),
    (NO_ID, BUTTON, 0x50020007, (4, 100, 60, 40), "  補正点数  ", " Calib. point   "),
    (20, BUTTON, 0x50030004, (8, 112, 50, 12), "  9 点", "  9 points"),
    (21, BUTTON, 0x50000004, (8, 124, 50, 12), " 20 点", " 20 points"),
    (NO_ID, BUTTON, 0x50020007, (68, 30, 60, 65), "  引出し線  ", "  Cable dir.  "),
    (30, BUTTON, 0x50030004, (72, 42, 50, 12), "  右側(A) ", "  Right(A) "),
    (31, BUTTON, 0x50000004, (72, 54, 50, 12), "  上側(B) ", "  Upper(B) "),
    (32, BUTTON, 0x50000004, (72, 66, 50, 12), "  左側(C) ", "  Left(C) "),
    (33, BUTTON, 0x50000004, (72, 78, 50, 12), "  下側(D) ", "  Lower(D) "),
    (1, BUTTON, 0x50030001, (20, 150, 40, 14), "OK", "OK"),
    (2, BUTTON, 0x50030000, (77, 150, 40, 14), "Cancel", "Cancel"),
]
TEMPLATES = {"HOSSETBOX": 4, "HOSSETBOXE": 5}  # name -> column of the text in ITEMS


def u16(b, o):
    return struct.unpack_from("<H", b, o)[0]


def resources(pe, errors):
    """{template name (upper case): bytes} of the dialog resources; faults go to errors."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        raise Fault("no resource section")
    found = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if rtype.id != RT_DIALOG:
            errors.append("unexpected resource type %r (only dialogs belong here)"
                          % (rtype.id or str(rtype.name),))
            continue
        for dialog in rtype.directory.entries:
            if dialog.name is None:
                errors.append("dialog with numeric id %d" % dialog.id)
                continue
            name = str(dialog.name)
            languages = dialog.directory.entries
            if [lang.id for lang in languages] != [LANG_EN_US]:
                errors.append("%s: languages %r, expected [1033]"
                              % (name, [lang.id for lang in languages]))
            for lang in languages:
                if not hasattr(lang, "data"):
                    raise Fault("%s: language %d is a directory" % (name, lang.id))
                data = lang.data.struct
                found.setdefault(name.upper(), pe.get_data(data.OffsetToData, data.Size))
    if sorted(found) != sorted(TEMPLATES):
        errors.append("dialogs %r, expected %r" % (sorted(found), sorted(TEMPLATES)))
    return found


def sz_or_ord(b, o):
    """A name-or-ordinal field: (None | int ordinal | str, next offset)."""
    first = u16(b, o)
    if first == 0:
        return None, o + 2
    if first == 0xFFFF:
        return u16(b, o + 2), o + 4
    end = o
    while u16(b, end) != 0:
        end += 2
    return b[o:end].decode("utf-16-le"), end + 2


def parse_template(b):
    if u16(b, 0) == 1 and u16(b, 2) == 0xFFFF:
        raise Fault("extended template (DLGTEMPLATEEX)")
    style, ex_style, count = struct.unpack_from("<IIH", b, 0)
    dialog = {"style": style, "exStyle": ex_style}
    dialog["rect"] = struct.unpack_from("<hhhh", b, 10)
    o = 18
    dialog["menu"], o = sz_or_ord(b, o)
    dialog["class"], o = sz_or_ord(b, o)
    dialog["title"], o = sz_or_ord(b, o)
    if dialog["title"] is None:  # a lone zero: the empty title
        dialog["title"] = ""
    if style & 0x40:  # DS_SETFONT: point size and face name follow
        dialog["font"], o = sz_or_ord(b, o + 2)
    items = []
    for _ in range(count):
        o = (o + 3) & ~3
        start = o
        item_style, item_ex, x, y, cx, cy, item_id = struct.unpack_from("<IIhhhhH", b, o)
        o += 18
        cls, o = sz_or_ord(b, o)
        text, o = sz_or_ord(b, o)
        extra = u16(b, o)
        o += 2 + extra
        items.append(
            {"id": item_id, "class": cls, "style": item_style, "exStyle": item_ex,
             "rect": (x, y, cx, cy), "text": text, "extra": extra, "offset": start}
        )
    if len(b) - o >= 4 or any(b[o:]):
        errors_tail = "%d bytes after the last control" % (len(b) - o)
    else:
        errors_tail = None
    return dialog, items, errors_tail


def shown(field, value):
    if isinstance(value, int) and field in ("style", "exStyle"):
        return "0x%08X" % value
    if isinstance(value, int) and field in ("class", "id"):
        return "0x%04X" % value
    return repr(value)


def check_template(name, data, errors):
    dialog, items, tail = parse_template(data)
    for field, expected in DIALOG.items():
        if dialog[field] != expected:
            errors.append("%s: %s is %s, expected %s"
                          % (name, field, shown(field, dialog[field]), shown(field, expected)))
    if "font" in dialog:
        errors.append("%s: names a font %r" % (name, dialog["font"]))
    if tail:
        errors.append("%s: %s" % (name, tail))
    if len(items) != len(ITEMS):
        errors.append("%s: %d controls, expected %d" % (name, len(items), len(ITEMS)))
    column = TEMPLATES[name]
    for no, (got, row) in enumerate(zip(items, ITEMS), start=1):
        expected = {"id": row[0], "class": row[1], "style": row[2], "exStyle": 0,
                    "rect": row[3], "text": row[column], "extra": 0}
        for field, value in expected.items():
            if got[field] != value:
                errors.append("%s control %d: %s is %s, expected %s"
                              % (name, no, field, shown(field, got[field]), shown(field, value)))


def check(image):
    errors = []
    try:
        found = resources(parse(image), errors)
        for name in sorted(found):
            if name in TEMPLATES:
                check_template(name, found[name], errors)
    except (Fault, pefile.PEFormatError, struct.error, KeyError, AttributeError,
            UnicodeDecodeError) as fault:
        errors.append(str(fault) or type(fault).__name__)
    return errors


def template_offsets(image):
    """{template name: file offset of its data}."""
    found = resources(parse(image), [])
    return {name: image.index(data) for name, data in found.items()}


def damaged_copies(image):
    """(what, damaged image) pairs, each of which the check must reject."""
    def text(s):
        return s.encode("utf-16-le")

    def replace(old, new):
        assert len(old) == len(new) and image.count(text(old)) == 1, old
        return image.replace(text(old), text(new))

    japanese = template_offsets(image)["HOSSETBOX"]
    english = template_offsets(image)["HOSSETBOXE"]
    _, items, _ = parse_template(image[english:])
    yield "full-width katakana", replace(" 12.1 " + INCH, " 12.1 インチ")
    yield "space moved", replace("  Right(A) ", " Right(A)  ")
    yield "dialog with caption", patched(image, japanese, struct.pack("<I", 0x80C00000))
    yield "dialog moved", patched(image, english + 10, struct.pack("<h", 66))
    yield "control id", patched(image, english + items[5]["offset"] + 16, struct.pack("<H", 14))
    yield "language", language_changed(image)


def language_changed(image):
    language = parse(image).DIRECTORY_ENTRY_RESOURCE.entries[0].directory.entries[0] \
        .directory.entries[0]
    assert language.id == LANG_EN_US
    return patched(image, language.struct.get_field_absolute_offset("Name"),
                   struct.pack("<I", 1041))


def same_templates(image, other):
    """Faults where the two images' templates differ in any byte."""
    mine, theirs = resources(parse(image), []), resources(parse(other), [])
    return ["%s differs from the other build's" % name
            for name in sorted(TEMPLATES) if mine.get(name) != theirs.get(name)]


def main(argv):
    args = argv[1:]
    self_test = "--self-test" in args
    other = None
    if "--same-as" in args:
        with open(args[args.index("--same-as") + 1], "rb") as f:
            other = f.read()
    path = args[-1]
    with open(path, "rb") as f:
        image = f.read()
    errors = check(image)
    if other is not None and not errors:
        errors += same_templates(image, other)
    if report(errors):
        return 1
    if self_test and report_self_test((what, check(damaged))
                                      for what, damaged in damaged_copies(image)):
        return 1
    print("OK: %s holds exactly HosSetBox and HosSetBoxE as expected" % path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
