#!/usr/bin/python3
"""The page's font: a subset of Noto Sans Mono CJK SC holding exactly the glyphs the program
can write, so every player sees the same cells whatever fonts their machine has.

The glyphs are those of the string and character literals in src/ (comments are skipped), and
printable ASCII, which formatted numbers and typed text use. Run with Debian's python3, which
has fontTools and brotli (for woff2).

Usage: tools/web_font.py SRC_DIR OUT.woff2 [FONT.ttc]
"""
import os
import sys

from fontTools import subset
from fontTools.ttLib import TTCollection

FAMILY = "Noto Sans Mono CJK SC"
DEFAULT_FONT = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"


def literals(text):
    """The contents of the string and character literals of C++ source text, comments skipped.
    Escapes are kept as written: the games write their glyphs as they are."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = n if i < 0 else i
        elif text.startswith("/*", i):
            i = text.find("*/", i + 2)
            i = n if i < 0 else i + 2
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not text[i - 1].isalnum()):
            # A raw string: R"delim( ... )delim"
            open_paren = text.index("(", i)
            delim = text[i + 2:open_paren]
            end = text.index(")" + delim + '"', open_paren)
            out.append(text[open_paren + 1:end])
            i = end + len(delim) + 2
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(text[i + 1:j])
            i = j + 1
        else:
            i += 1
    return out


def glyphs(src_dir):
    chars = {chr(c) for c in range(0x20, 0x7F)}
    for root, _, files in os.walk(src_dir):
        for name in sorted(files):
            if name.endswith((".cpp", ".hpp")):
                with open(os.path.join(root, name), encoding="utf-8") as f:
                    for lit in literals(f.read()):
                        chars.update(ch for ch in lit if ord(ch) >= 0x80)
    return "".join(sorted(chars))


def face_index(path):
    for k, font in enumerate(TTCollection(path).fonts):
        if font["name"].getDebugName(1) == FAMILY:
            return k
    sys.exit(f"web_font: no '{FAMILY}' in {path}")


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    src_dir, out = sys.argv[1], sys.argv[2]
    font = sys.argv[3] if len(sys.argv) == 4 else DEFAULT_FONT
    text = glyphs(src_dir)
    subset.main([
        font, f"--font-number={face_index(font)}", f"--text={text}", f"--output-file={out}",
        "--flavor=woff2", "--desubroutinize", "--no-hinting", "--layout-features=",
        "--name-IDs=*", "--notdef-outline",
    ])
    print(f"web_font: {len(text)} glyphs ({sum(ord(c) >= 0x80 for c in text)} beyond ASCII), "
          f"{os.path.getsize(out)} bytes")


if __name__ == "__main__":
    main()
