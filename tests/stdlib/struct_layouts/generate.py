#!/usr/bin/env python3
"""Writes struct_layout_table.inc: structure declarations as Vorlo descriptors, with the sizes and member
offsets that the Windows compilers themselves give them (i686 and x86-64 mingw-w64), for the portable
layout test. Run from the repository root:

    python3 tests/stdlib/struct_layouts/generate.py

Each case is (name, packing, members); a member is (name, type, count or None), where type is a Vorlo
member type text, "struct" with a list of inline members, or the name of a helper structure below.
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# Helper structures that cases name (laid out with the packing of the case that uses them).
HELPERS = {
    "Pt": [("x", "int", None), ("y", "int", None)],
    "Mixed": [("c", "char", None), ("d", "double", None), ("s", "short", None)],
    "Wide": [("q", "int64", None), ("b", "char", None)],
    "Empty": [],
}

SCALARS = ["char", "unsigned char", "short", "unsigned short", "int", "unsigned int", "long",
           "unsigned long", "int64", "unsigned int64", "float", "double", "pointer", "String", "Boolean"]

CASES = []
for pack in (1, 2, 4, 8, 16):
    CASES += [
        ("every_scalar_%d" % pack, pack, [("m%d" % i, t, None) for i, t in enumerate(SCALARS)]
         + [("tail", "char", None)]),
        ("char_int_char_int_%d" % pack, pack,
         [("a", "char", None), ("b", "int", None), ("c", "char", None), ("d", "int", None)]),
        ("char_double_%d" % pack, pack, [("c", "char", None), ("d", "double", None)]),
        ("arrays_%d" % pack, pack, [("c", "char", None), ("text", "char", 13), ("w", "short", 3),
                                    ("d", "double", 2), ("p", "pointer", 3), ("e", "char", None)]),
        ("pointers_%d" % pack, pack, [("c", "char", None), ("ip", "int*", None), ("sp", "String*", None),
                                      ("pp", "pointer*", None), ("st", "struct*", None), ("pt", "Pt*", None),
                                      ("us", "unsigned short*", None), ("e", "char", None)]),
        ("nested_%d" % pack, pack, [("c", "char", None), ("pt", "Pt", None), ("m", "Mixed", 2),
                                    ("w", "Wide", None), ("e", "char", None),
                                    ("in", [("a", "char", None), ("b", "double", None)], None),
                                    ("f", "short", None)]),
        ("inline_array_%d" % pack, pack, [("s", "short", None),
                                          ("cell", [("a", "char", None), ("n", "int64", None)], 3),
                                          ("e", "char", None)]),
    ]
CASES += [
    ("char_only", 8, [("a", "char", None), ("b", "char", None), ("c", "char", None)]),
    ("empty_member", 8, [("a", "char", None), ("none", "Empty", None), ("b", "char", None)]),
    ("empty", 8, []),
]

C_TYPES = {"char": "signed char", "unsigned char": "unsigned char", "short": "short",
           "unsigned short": "unsigned short", "int": "int", "unsigned int": "unsigned int",
           "long": "long", "unsigned long": "unsigned long", "int64": "long long",
           "unsigned int64": "unsigned long long", "float": "float", "double": "double",
           "pointer": "void*", "String": "char*", "Boolean": "int", "struct": "void"}


def c_type(t):
    if t.endswith("*"):
        base = t[:-1]
        return (C_TYPES.get(base) or "struct " + base) + "*"
    return C_TYPES.get(t) or "struct " + t


def c_members(members, prefix):
    out = []
    for name, t, count in members:
        dims = "[%d]" % count if count else ""
        if isinstance(t, list):
            out.append("struct { %s } %s%s;" % (" ".join(c_members(t, prefix)), name, dims))
        else:
            out.append("%s %s%s;" % (c_type(t), name, dims))
    if not out:  # GNU C gives an empty structure size 0, as the layout rule does
        return []
    return out


def descriptor(name, members):
    def items(ms):
        text = ""
        for n, t, count in ms:
            c = ' count="%d"' % count if count else ""
            if isinstance(t, list):
                text += '<%s type="struct"%s>%s</%s>' % (n, c, items(t), n)
            else:
                text += '<%s type="%s"%s/>' % (n, t, c)
        return text
    return '<%s type="struct">%s</%s>' % (name, items(members), name)


def c_source():
    lines = ["#include <stddef.h>"]
    for name, pack, members in CASES:
        lines.append("#pragma pack(push, %d)" % pack)
        for helper, hm in HELPERS.items():
            lines.append("struct %s_%s { %s };" % (helper, name, " ".join(c_members(hm, ""))))
        renamed = [(n, (t if isinstance(t, list) or t not in HELPERS else "%s_%s" % (t, name)), c)
                   for n, t, c in members]
        renamed = [(n, t if isinstance(t, list) or not (t.endswith("*") and t[:-1] in HELPERS)
                    else "%s_%s*" % (t[:-1], name), c) for n, t, c in renamed]
        lines.append("struct %s { %s };" % (name, " ".join(c_members(renamed, ""))))
        lines.append("#pragma pack(pop)")
        values = ["sizeof(struct %s)" % name] + ["offsetof(struct %s, %s)" % (name, n) for n, _, _ in members]
        lines.append("const int v_%s[] = { %s };" % (name, ", ".join(values)))
    return "\n".join(lines) + "\n"


def compiled_values(compiler, source):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "layouts.c")
        with open(path, "w") as f:
            f.write(source)
        asm = subprocess.run([compiler, "-S", "-O0", "-o", "-", path], check=True, capture_output=True,
                             text=True).stdout
    values, current = {}, None
    for line in asm.splitlines():
        label = re.match(r"^_?v_(\w+):", line)
        if label:
            current = label.group(1)
            values[current] = []
            continue
        number = re.match(r"^\s*\.long\s+(-?\d+)", line)
        zeros = re.match(r"^\s*\.(?:space|zero)\s+(\d+)", line)
        if current and number:
            values[current].append(int(number.group(1)))
        elif current and zeros:
            values[current] += [0] * (int(zeros.group(1)) // 4)
        elif current and line.strip() and not line.strip().startswith("."):
            current = None
    return values


def main():
    source = c_source()
    v32 = compiled_values("i686-w64-mingw32-gcc", source)
    v64 = compiled_values("x86_64-w64-mingw32-gcc", source)
    out = ["// Generated by tests/stdlib/struct_layouts/generate.py from the i686 and x86-64 mingw-w64",
           "// compilers' sizeof and offsetof; do not edit.",
           "// {name, packing, descriptor, {size, offsets...} at pointer size 4, the same at 8}"]
    for helper, hm in HELPERS.items():
        out.append('STRUCT_HELPER(u"%s", u"%s")' % (helper, descriptor(helper, hm).replace('"', '\\"')))
    for name, pack, members in CASES:
        d = descriptor(name, members).replace('"', '\\"')
        out.append('STRUCT_CASE("%s", %d, u"%s", {%s}, {%s})' % (
            name, pack, d, ", ".join(map(str, v32[name])), ", ".join(map(str, v64[name]))))
    with open(os.path.join(HERE, "struct_layout_table.inc"), "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    sys.exit(main())
