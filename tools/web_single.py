#!/usr/bin/env python3
"""The whole site in one file that plays offline, opened from disk: the page with its style,
its script (xterm.js, the program's glue and the page script), the program (WebAssembly, in
base64, which the page script compiles from there) and the font (a data: URL in the style).

    web_single.py SITE_DIR OUT_HTML
"""
import base64
import re
import sys
from pathlib import Path


def replace_once(text, old, new, what):
    if text.count(old) != 1:
        sys.exit(f"web_single: {what}: expected one '{old}', found {text.count(old)}")
    return text.replace(old, new)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    site, out = Path(sys.argv[1]), Path(sys.argv[2])
    html = (site / "index.html").read_text(encoding="utf-8")
    css = (site / "gamebox.css").read_text(encoding="utf-8")
    script = (site / "gamebox.js").read_text(encoding="utf-8")
    wasm = base64.b64encode((site / "gamebox.wasm").read_bytes()).decode("ascii")
    font = base64.b64encode((site / "gamebox.woff2").read_bytes()).decode("ascii")

    css = replace_once(css, "url(gamebox.woff2)", f"url(data:font/woff2;base64,{font})", "gamebox.css")
    if re.search(r"</style", css, re.I):
        sys.exit("web_single: gamebox.css holds '</style'")
    # Inside a script element the HTML parser looks only for these: written "<\/script" and
    # "<\!--" they mean the same to JavaScript in a string or a regular expression, the only
    # places minified code has them.
    script = re.sub(r"</(script)", r"<\\/\1", script, flags=re.I)
    script = script.replace("<!--", "<\\!--")

    html = replace_once(html, '<link rel="stylesheet" href="gamebox.css">', f"<style>\n{css}</style>",
                        "index.html")
    html = re.sub(r'<link rel="preload" href="gamebox.woff2"[^>]*>\n', "", html)
    html = replace_once(html, '<script src="gamebox.js" defer></script>\n', "", "index.html")
    html = replace_once(
        html, "</body>",
        f'<script type="application/octet-stream" id="gamebox-wasm">{wasm}</script>\n'
        f"<script>\n{script}</script>\n</body>", "index.html")
    if re.search(r'(src|href)="(?!data:)', html):
        sys.exit("web_single: the page still refers to another file")
    out.write_text(html, encoding="utf-8")
    print(f"web_single: {out.name}, {len(html.encode('utf-8'))} bytes")


if __name__ == "__main__":
    main()
