#!/usr/bin/env python3
"""Makes faults mechanically from the code itself, for scripts/mutate.sh --auto.

For every product line of the given paths (or only the lines changed since a
commit), it lists the small faults that apply to it: a comparison or logical
operator swapped, a `!` dropped, `+` and `-` swapped, a constant or an index
one off, a call statement deleted, a boolean flipped, a returned boolean
negated, a `return;` put before a statement of a function that returns
nothing. It then draws COUNT of them with SEED and prints them, one a line:

    file <TAB> line <TAB> operator <TAB> line before <TAB> line after

The code is read as clang-format leaves it: a binary operator has a blank on
each side, a template's angle brackets and a reference's `&&` have none.
Comments, string and character literals are masked before any operator looks
at a line; preprocessor lines, static_assert and assert, lines holding a
message text (a string literal with non-ASCII bytes) and calls that only hint
at speed or memory (reserve, shrink_to_fit, madvise) make no faults, nor does
the size of an array being declared.
"""
import argparse
import os
import random
import re
import subprocess
import sys

SOURCE_SUFFIXES = (".cpp", ".h")


def mask(text):
    """`text` with comments blanked and the insides of literals replaced by
    '_', keeping every offset; returns the masked text and the spans of
    character literals."""
    out = list(text)
    chars = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out[i:j] = " " * (j - i)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out[i:j] = [ch if ch == "\n" else " " for ch in text[i:j]]
            i = j
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            if end < 0:
                i += 1
                continue
            end += len(m.group(1)) + 2
            out[i + 1:end] = [ch if ch == "\n" else "_" for ch in text[i + 1:end]]
            out[i + 1] = out[end - 1] = '"'
            i = end
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):  # 1'000
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j, n - 1)
            out[i + 1:j] = "_" * (j - i - 1)
            if c == "'":
                chars.append((i, j + 1))
            i = j + 1
        else:
            i += 1
    return "".join(out), chars


class Scope:
    """What a brace opens: 'type' (namespace, class, enum), 'func' with the
    kind of its result ('void', 'bool' or 'other'), 'lambda', 'block' (a
    statement block inside a function) or 'list' (a braced initialiser)."""

    def __init__(self, kind, result=None, parent=None):
        self.kind, self.result, self.parent = kind, result, parent

    def function(self):
        """The function or lambda whose statements these are; None outside
        statements."""
        s = self
        while s and s.kind == "block":
            s = s.parent
        return s if s and s.kind in ("func", "lambda") else None


SPECIFIERS = r"(?:\[\[\w+\]\]\s*|static\s+|inline\s+|constexpr\s+|consteval\s+|virtual\s+|explicit\s+|friend\s+|extern\s+)*"
CONTROL = re.compile(r"^(?:else\b|if\b|for\b|while\b|do\b|switch\b|try\b|catch\b|case\b.*:$|default\s*:$)")
LAMBDA = re.compile(r"\[[^\]]*\]\s*(?:\([^)]*\))?\s*(?:mutable\s*)?(?:->\s*[\w:]+\s*)?$")


def classify(header, outer):
    """The scope a '{' opens, from the code before it since the last ';',
    '{' or '}'."""
    h = " ".join(header.split())
    h = re.sub(r"^(?:(?:public|private|protected)\s*:\s*)+", "", h)
    h = re.sub(r"^template\s*<[^{;]*?>\s*", "", h)
    if outer.kind == "list":
        return Scope("list", parent=outer)
    if outer.kind != "type":  # inside a function
        if h == "" or CONTROL.match(h):
            return Scope("block", parent=outer)
        if LAMBDA.search(h):
            return Scope("lambda", parent=outer)
        return Scope("list", parent=outer)
    if re.match(r"^(?:namespace|class|struct|union|enum)\b", h) or h.startswith('extern "') or h == "":
        return Scope("type", parent=outer)
    m = re.match(r"^" + SPECIFIERS + r"(?P<pre>.*?)(?P<name>~?[\w:~]+|operator\S+?)\s*\(", h)
    if not m or "=" in h.split("(")[0]:
        return Scope("list", parent=outer)  # an initialiser
    pre = m.group("pre").strip()
    result = "void" if pre in ("", "void") else "bool" if pre == "bool" else "other"
    return Scope("func", result, parent=outer)


def scopes(masked):
    """For each offset of `masked`, the innermost scope there."""
    at = [None] * (len(masked) + 1)
    stack = [Scope("type")]
    last = 0  # where the current header starts
    for i, c in enumerate(masked):
        if c == "{":
            stack.append(classify(masked[last:i], stack[-1]))
            last = i + 1
        elif c == "}":
            if len(stack) > 1:
                stack.pop()
            last = i + 1
        elif c == ";":
            last = i + 1
        elif c == "#" and (i == 0 or masked[i - 1] == "\n"):
            # a preprocessor line is no part of any header
            j = masked.find("\n", i)
            last = j + 1 if j >= 0 else len(masked)
        at[i] = stack[-1]
    at[len(masked)] = stack[-1]
    return at


def literal_value(lit):
    """The value of an integer literal, its base and suffix; None if not one."""
    m = re.fullmatch(r"(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)([uUlLzZ]*)", lit)
    if not m:
        return None
    digits = m.group(1).replace("'", "")
    base = 16 if digits[:2] in ("0x", "0X") else 2 if digits[:2] in ("0b", "0B") else 8 if len(digits) > 1 and digits[0] == "0" else 10
    return int(digits, base), m.group(1), m.group(2)


def render(value, original):
    if original[:2] in ("0x", "0X"):
        width = len(original) - 2
        body = format(value, "X" if any(c.isupper() for c in original[2:]) else "x")
        return original[:2] + body.rjust(width, "0")
    if original[:2] in ("0b", "0B"):
        return original[:2] + format(value, "b").rjust(len(original) - 2, "0")
    if len(original) > 1 and original[0] == "0":
        return "0" + format(value, "o")
    return str(value)


CHAR_ESCAPES = {"n": 10, "t": 9, "r": 13, "0": 0, "\\": 92, "'": 39, '"': 34, "a": 7, "b": 8, "f": 12, "v": 11}


def char_value(lit):
    body = lit[1:-1]
    if len(body) == 1 and body not in "\\'":
        return ord(body)
    if body.startswith("\\x"):
        return int(body[2:], 16)
    if len(body) == 2 and body[0] == "\\" and body[1] in CHAR_ESCAPES:
        return CHAR_ESCAPES[body[1]]
    return None


def char_literal(value):
    if 0x20 <= value < 0x7F and chr(value) not in "\\'":
        return "'" + chr(value) + "'"
    return "'\\x%02X'" % value


BINARY = r"(?:(?<=\s)|^\s*)"  # a binary operator: a blank before it, or first on a continued line
AFTER = r"(?=\s|$)"
SWAPS = [
    ("rel", re.compile(BINARY + r"(<=|>=|==|!=|<|>)" + AFTER), {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}),
    ("logic", re.compile(BINARY + r"(&&|\|\|)" + AFTER), {"&&": "||", "||": "&&"}),
    ("arith", re.compile(BINARY + r"([+-])" + AFTER), {"+": "-", "-": "+"}),
]
KEYWORDS_NOT_CALLS = {"return", "if", "while", "for", "switch", "throw", "delete", "case", "else", "do", "new",
                      "sizeof", "static_assert", "assert", "co_return", "goto", "using", "typedef"}
CALL = re.compile(r"^(?:::)?[A-Za-z_]\w*(?:::~?\w+)*(?:<[^;()]*>)?(?:\s*(?:\.|->)\s*\w+)*\s*\(")
NAME_CHAR = re.compile(r"[\w)\]]")


def balanced(s):
    depth = 0
    for c in s:
        depth += c in "([{"
        depth -= c in ")]}"
        if depth < 0:
            return False
    return depth == 0


def skip_line(orig, m):
    code = m.strip()
    if not code or code.startswith("#") or orig.rstrip().endswith("\\"):
        return True
    if re.search(r"\b(static_assert|assert)\s*\(", m):
        return True
    # Hints about speed and memory alone: no test result can change.
    if re.search(r"\b(reserve|shrink_to_fit|madvise|posix_fadvise|AdviseHugePages)\s*\(", m):
        return True
    # a message text, or a line that is nothing but literals
    for lit in re.finditer(r'"[^"\n]*"', m):
        if any(ord(c) > 0x7F for c in orig[lit.start():lit.end()]):
            return True
    if "\t" in orig:
        return True
    return re.fullmatch(r'[\s"_+,;()uUL8R]*', m) is not None


def line_mutants(orig, m, line_start, at, prev_code):
    """Every fault for one line: (operator, new line)."""
    found = []

    def put(op, start, end, text):
        found.append((op, orig[:start] + text + orig[end:]))

    for op, rx, table in SWAPS:
        for hit in rx.finditer(m):
            # No string arithmetic: "a" + b cannot become "a" - b.
            if op == "arith" and (m[:hit.start(1)].rstrip().endswith('"') or m[hit.end(1):].lstrip().startswith('"')):
                continue
            put(op, hit.start(1), hit.end(1), table[hit.group(1)])
    for hit in re.finditer(r"!(?!=)", m):
        if hit.start() == 0 or not NAME_CHAR.match(m[hit.start() - 1]):
            put("not", hit.start(), hit.end(), "")
    for hit in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)([uUlLzZ]*)(?![\w.'])", m):
        parsed = literal_value(hit.group(0))
        # The size of an array being declared: one more is room unused,
        # one less does not build or overruns where only a sanitizer sees it.
        if parsed is None or m[:hit.start()].endswith("alignas(") or re.match(r"\s*\]\s*(?:=|;|\{)", m[hit.end():]) and re.search(r"\w\s*\[\s*$", m[:hit.start()]):
            continue
        value, digits, _ = parsed
        for v in (value + 1, value - 1):
            if v >= 0:
                put("const", hit.start(1), hit.end(1), render(v, digits))
    for hit in re.finditer(r"'_*'", m):
        lit = orig[hit.start():hit.end()]
        value = char_value(lit)
        if value is None:
            continue
        for v in (value + 1, value - 1):
            if 0 <= v < 0x80:
                put("const", hit.start(), hit.end(), char_literal(v))
    for hit in re.finditer(r"\b(true|false)\b", m):
        put("bool", hit.start(), hit.end(), "false" if hit.group(1) == "true" else "true")
    for hit in re.finditer(r"(?<=[\w)\]])\[([^\[\]]+)\]", m):
        inner = hit.group(1)
        if literal_value(inner.strip()) is None and re.fullmatch(r"[\w.()+\-*> ]+", inner):
            for sign in "+-":
                put("index", hit.start(1), hit.end(1), "%s %s 1" % (orig[hit.start(1):hit.end(1)], sign))

    stripped = m.strip()
    indent = len(m) - len(m.lstrip())
    scope = at[line_start + indent]
    func = scope.function()
    statement = func is not None and (prev_code is None or prev_code[-1] in ";{}" or
                                      prev_code.endswith(":") and not prev_code.endswith("::"))
    first = re.match(r"\w+", stripped)
    keyword = first.group(0) if first else ""
    # A call statement deleted.
    if (statement and stripped.endswith(";") and balanced(stripped[:-1]) and CALL.match(stripped)
            and keyword not in KEYWORDS_NOT_CALLS):
        found.append(("call", orig[:indent] + ";"))
    # A returned boolean negated (a literal is flipped by "bool" already).
    for hit in re.finditer(r"\breturn\s+([^;]+);", m):
        f = at[line_start + hit.start()].function()
        value = hit.group(1).strip()
        if f and f.result == "bool" and value not in ("true", "false") and balanced(value):
            put("return", hit.start(1), hit.end(1), "!(%s)" % orig[hit.start(1):hit.end(1)])
    # An early return at the start of a block of a function that returns
    # nothing: the block and the rest of the function skipped.
    if (statement and func.result == "void" and prev_code and prev_code.endswith("{") and stripped[0] not in "{}"
            and not stripped.endswith(":")
            and keyword not in ("return", "else", "case", "default", "catch")):
        found.append(("early-return", orig[:indent] + "return; " + orig[indent:]))
    return found


def file_mutants(path, text, wanted_lines):
    masked, _ = mask(text)
    at = scopes(masked)
    out = []
    offset = 0
    prev_code = None
    orig_lines = text.split("\n")
    masked_lines = masked.split("\n")
    for number, (orig, m) in enumerate(zip(orig_lines, masked_lines), start=1):
        code = m.strip()
        if (wanted_lines is None or number in wanted_lines) and not skip_line(orig, m):
            seen = set()
            for op, after in line_mutants(orig, m, offset, at, prev_code):
                if after != orig and after not in seen:
                    seen.add(after)
                    out.append((path, number, op, orig, after))
        if code and not code.startswith("#"):
            prev_code = code
        offset += len(orig) + 1
    return out


def draw(mutants, count, rng):
    """`count` of the faults: every line equally likely, then every operator
    that applies to it, then each of that operator's faults; one fault a line
    until each line has given one. A line of a byte table with thirty
    constants thus weighs as much as a line with one comparison."""
    lines = {}
    for m in mutants:
        lines.setdefault((m[0], m[1]), {}).setdefault(m[2], []).append(m)
    order = sorted(lines)
    rng.shuffle(order)
    chosen = []
    while len(chosen) < count:
        for key in order:
            ops = lines[key]
            if not ops or len(chosen) == count:
                continue
            op = rng.choice(sorted(ops))
            chosen.append(ops[op].pop(rng.randrange(len(ops[op]))))
            if not ops[op]:
                del ops[op]
    return chosen


def changed_lines(root, since, files):
    """Lines of each file that differ from `since` (the working tree against it)."""
    diff = subprocess.run(["git", "-C", root, "diff", "-U0", "--no-color", "--no-ext-diff", since, "--"] + files,
                          check=True, capture_output=True, text=True, errors="replace").stdout
    lines, current = {}, None
    for row in diff.splitlines():
        if row.startswith("+++ "):
            current = row[6:] if row.startswith("+++ b/") else None
        elif row.startswith("@@") and current:
            m = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", row)
            start, count = int(m.group(1)), int(m.group(2) or "1")
            lines.setdefault(current, set()).update(range(start, start + count))
    return lines


def product_files(root, prefixes):
    listed = subprocess.run(["git", "-C", root, "ls-files", "--cached", "--others", "--exclude-standard"],
                            check=True, capture_output=True, text=True).stdout.split("\n")
    return sorted(f for f in listed if f.endswith(SOURCE_SUFFIXES) and any(f.startswith(p) for p in prefixes))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--root", required=True)
    ap.add_argument("--since")
    ap.add_argument("--seed", type=int, required=True)
    ap.add_argument("--count", type=int, default=0, help="0: all of them")
    ap.add_argument("--summary", action="store_true", help="count the faults per file and operator instead")
    ap.add_argument("paths", nargs="+")
    args = ap.parse_args()
    # A folder names the files below it; anything else is the start of a path.
    prefixes = [p.rstrip("/") + "/" if os.path.isdir(os.path.join(args.root, p)) else p for p in args.paths]
    files = product_files(args.root, prefixes)
    wanted = changed_lines(args.root, args.since, files) if args.since else None
    mutants = []
    for f in files:
        if wanted is not None and f not in wanted:
            continue
        with open(f"{args.root}/{f}", encoding="utf-8", errors="surrogateescape") as fh:
            mutants += file_mutants(f, fh.read(), wanted[f] if wanted is not None else None)
    if args.summary:
        per = {}
        for f, _, op, _, _ in mutants:
            per.setdefault(f, {}).setdefault(op, 0)
            per[f][op] += 1
        for f, ops in per.items():
            print(f"{f}\t{sum(ops.values())}\t" + " ".join(f"{k}={v}" for k, v in sorted(ops.items())))
        print(f"total\t{len(mutants)}")
        return
    if args.count and args.count < len(mutants):
        mutants = draw(mutants, args.count, random.Random(args.seed))
    # In file order, so that consecutive faults mostly rebuild the same object.
    for f, line, op, before, after in sorted(mutants, key=lambda t: (t[0], t[1], t[2], t[4])):
        sys.stdout.buffer.write(f"{f}\t{line}\t{op}\t{before}\t{after}\n".encode("utf-8", "surrogateescape"))


if __name__ == "__main__":
    main()
