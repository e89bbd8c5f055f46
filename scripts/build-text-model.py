#!/usr/bin/env python3
"""Builds core/text/TextModel.inc, the tables of the model that tells a word
file's encoding: how likely real text is, character by character.

The model scores a reading of the bytes (code page 932, UTF-8, EUC-JP) with
the likelihood of its characters: a class for each character (hiragana,
katakana, kanji, half-width katakana, Latin letters with diacritics, Greek,
Cyrillic, Hangul, signs, ...), how likely each class follows what comes
before it (the start of a line, an ASCII letter, other ASCII, or another
class), how likely each character is within its class, how likely what
follows a character (an ASCII letter, other ASCII, the line's end), and for
half-width katakana, which one follows which.

Sources, all Debian packages (the script installs them):
  - edict: /usr/share/edict/edict (EUC-JP), head words and readings as word
    lines, "0head word,gloss" and "0reading,head word";
  - the translations of coreutils, bash, dpkg, apt, libglib2.0-data
    (glib20), iso-codes (iso_639-2, iso_3166-1) and xkb-data
    (xkeyboard-config) into ja, vi, ko, tr, cs, de, el, ru, fr, es, pl, he,
    ar and th (/usr/share/locale/LANG/LC_MESSAGES/DOMAIN.mo);
  - half-width katakana text: the Japanese word lines above with their kana
    written in half-width katakana, as old Windows files hold them.
Each language's text is weighed to the share of the text the program meets
(WEIGHTS below): mostly Japanese, then the others.

The decoding tables (JIS rows and cells to Unicode) come from Python's
cp932 and euc_jp codecs. The output is data: regenerate it, never edit it.
Usage: scripts/build-text-model.py [OUT]   (default core/text/TextModel.inc)
"""
import gettext
import math
import os
import subprocess
import sys
import unicodedata
from collections import Counter

DOMAINS = ["coreutils", "bash", "dpkg", "apt", "glib20", "iso_639-2", "iso_3166-1", "xkeyboard-config"]
PACKAGES = ["edict", "coreutils", "bash", "dpkg", "apt", "libglib2.0-data", "iso-codes", "xkb-data"]
# The share of non-ASCII characters each source stands for.
WEIGHTS = {"ja": 0.60, "hw": 0.02, "vi": 0.04, "ko": 0.05, "tr": 0.04, "cs": 0.04, "de": 0.04,
           "el": 0.04, "ru": 0.05, "fr": 0.02, "es": 0.02, "pl": 0.01, "he": 0.003, "ar": 0.003, "th": 0.004}

# How much less likely a kanji JIS lacks is than the rarest JIS kanji.
NON_JIS_KANJI_BITS = 6

# Character classes, in the order of the C++ enum (TextModel.h).
CLASSES = ["Hiragana", "Katakana", "Kanji", "HalfKana", "FullAscii", "CjkPunct", "Latin", "Greek",
           "Cyrillic", "Hangul", "Sign", "Far"]
C = {name: i for i, name in enumerate(CLASSES)}
# Contexts before a character: a class, or these.
START, LETTER, OTHER = len(CLASSES), len(CLASSES) + 1, len(CLASSES) + 2
# What follows a character when it is not another: these.
AFTER_LETTER, AFTER_OTHER, AFTER_END = 0, 1, 2

RANGES = [  # first, last, class; the rest is Far
    (0x00A0, 0x00BF, "Sign"), (0x00C0, 0x00D6, "Latin"), (0x00D7, 0x00D7, "Sign"),
    (0x00D8, 0x00F6, "Latin"), (0x00F7, 0x00F7, "Sign"), (0x00F8, 0x024F, "Latin"),
    (0x0300, 0x036F, "Latin"), (0x0370, 0x03FF, "Greek"), (0x0400, 0x052F, "Cyrillic"),
    (0x1100, 0x11FF, "Hangul"), (0x1E00, 0x1EFF, "Latin"), (0x2000, 0x2BFF, "Sign"),
    (0x2E80, 0x2FDF, "Kanji"), (0x3000, 0x303F, "CjkPunct"), (0x3040, 0x309F, "Hiragana"),
    (0x30A0, 0x30FF, "Katakana"), (0x3130, 0x318F, "Hangul"), (0x3190, 0x33FF, "Sign"),
    (0x3400, 0x4DBF, "Kanji"), (0x4E00, 0x9FFF, "Kanji"), (0xAC00, 0xD7AF, "Hangul"),
    (0xF900, 0xFAFF, "Kanji"), (0xFE30, 0xFE4F, "CjkPunct"), (0xFF01, 0xFF5E, "FullAscii"),
    (0xFF5F, 0xFF60, "CjkPunct"), (0xFF61, 0xFF9F, "HalfKana"), (0xFFE0, 0xFFEE, "FullAscii"),
    (0x1F000, 0x1FAFF, "Sign"), (0x20000, 0x3FFFF, "Kanji"),
]


def class_of(cp):
    for first, last, name in RANGES:
        if first <= cp <= last:
            return C[name]
    return C["Far"]


def ensure_packages():
    missing = [p for p in PACKAGES
               if subprocess.run(["dpkg", "-s", p], capture_output=True).returncode != 0]
    if missing:
        subprocess.run(["apt-get", "install", "-y", "--no-install-recommends"] + missing, check=True,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"), capture_output=True)


def translations(lang):
    lines = []
    for domain in DOMAINS:
        path = f"/usr/share/locale/{lang}/LC_MESSAGES/{domain}.mo"
        if not os.path.exists(path):
            continue
        with open(path, "rb") as f:
            catalog = gettext.GNUTranslations(f)._catalog
        for text in catalog.values():
            for line in str(text).splitlines():
                if line.strip():
                    lines.append("0" + line)
    return lines


def edict_lines():
    lines = []
    with open("/usr/share/edict/edict", "rb") as f:
        for raw in f.read().decode("euc_jp", "replace").splitlines()[1:]:
            head, _, rest = raw.partition(" ")
            reading = rest[1:rest.index("]")] if rest.startswith("[") else ""
            gloss = rest.split("/")[1] if "/" in rest else ""
            lines.append(f"0{head},{gloss}")
            if reading:
                lines.append(f"0{reading},{head}")
    return lines


HALF = {}
for cp in range(0xFF61, 0xFFA0):
    full = unicodedata.normalize("NFKC", chr(cp))
    HALF.setdefault(full, chr(cp))
for cp in range(0x30A0, 0x3100):  # voiced kana: the letter and its mark
    full = chr(cp)
    base = unicodedata.normalize("NFD", full)
    if full not in HALF and len(base) == 2 and base[0] in HALF:
        mark = {"\u3099": "\uFF9E", "\u309A": "\uFF9F"}.get(base[1])
        if mark:
            HALF[full] = HALF[base[0]] + mark


def half_width(line):
    out = []
    for ch in line:
        if "\u3041" <= ch <= "\u3096":
            ch = chr(ord(ch) + 0x60)  # hiragana as katakana
        out.append(HALF.get(ch, ch))
    return "".join(out)


def count(lines, weight, stats):
    """Adds the lines' characters to stats, each weighed so that the lines'
    non-ASCII characters add up to `weight`."""
    total = sum(1 for line in lines for ch in line if ord(ch) >= 0x80)
    if not total:
        return
    w = weight * 1e6 / total  # the whole text as a million characters
    uni, trans, after, pairs = stats
    for line in lines:
        prev, prev_cp = START, None
        for i, ch in enumerate(line):
            cp = ord(ch)
            if cp < 0x80:
                if prev < START:
                    after[prev][AFTER_LETTER if ch.isalpha() else AFTER_OTHER] += w
                prev = START if i == 0 else LETTER if ch.isalpha() else OTHER
                prev_cp = None
                continue
            k = class_of(cp)
            uni[cp] += w
            trans[prev][k] += w
            if prev == C["HalfKana"] and k == C["HalfKana"]:
                pairs[(prev_cp, cp)] += w
            prev, prev_cp = k, cp
        if prev < START:
            after[prev][AFTER_END] += w


def cost(p):
    """-log2 p in quarter bits, at most 255."""
    return min(255, max(0, round(-4 * math.log2(p))))


def jis_table():
    """Code points by JIS row (1 to 120, code page 932's lead bytes) and cell."""
    table = []
    for row in range(1, 121):
        for cell in range(1, 95):
            lead = (row - 1) // 2 + (0x81 if row <= 62 else 0xC1)
            trail = cell + 0x3F + (cell >= 64) if row % 2 else cell + 0x9E
            try:
                ch = bytes([lead, trail]).decode("cp932")
                table.append(ord(ch) if len(ch) == 1 else 0)
            except UnicodeDecodeError:
                table.append(0)
    return table


def jis0212_table():
    table = []
    for row in range(1, 95):
        for cell in range(1, 95):
            try:
                ch = bytes([0x8F, row + 0xA0, cell + 0xA0]).decode("euc_jp")
                table.append(ord(ch) if len(ch) == 1 else 0)
            except UnicodeDecodeError:
                table.append(0)
    return table


def decoded_jis():
    return [c for c in jis_table() + jis0212_table() if c]


def main():
    out_path = sys.argv[1] if len(sys.argv) > 1 else "core/text/TextModel.inc"
    ensure_packages()
    uni, pairs = Counter(), Counter()
    trans = [[0.0] * len(CLASSES) for _ in range(START + 3)]
    after = [[0.0] * 3 for _ in CLASSES]
    stats = (uni, trans, after, pairs)
    japanese = edict_lines() + translations("ja")
    count(japanese, WEIGHTS["ja"], stats)
    kana_lines = [half_width(line) for line in japanese if any("\u3040" <= ch <= "\u30FF" for ch in line)]
    count(kana_lines, WEIGHTS["hw"], stats)
    for lang, weight in WEIGHTS.items():
        if lang not in ("ja", "hw"):
            count(translations(lang), weight, stats)

    # Within a class: add-half smoothing over the class's code points.
    sizes = Counter()
    for first, last, name in RANGES:
        sizes[C[name]] += last - first + 1
    sizes[C["Far"]] = 0x110000
    class_total = Counter()
    for cp, n in uni.items():
        class_total[class_of(cp)] += n
    # Characters JIS has (what Japanese text uses) are smoothed over the
    # ones of their class JIS has; kanji JIS lacks cost more.
    jis_chars = set(decoded_jis())
    jis_sizes = Counter(class_of(cp) for cp in jis_chars)
    alpha = 0.02
    emit = {cp: cost((n + alpha) / (class_total[class_of(cp)] + alpha * sizes[class_of(cp)]))
            for cp, n in uni.items()}
    floor = [cost(alpha / (class_total[k] + alpha * sizes[k])) for k in range(len(CLASSES))]
    for cp in jis_chars:
        k = class_of(cp)
        emit.setdefault(cp, cost(alpha / (class_total[k] + alpha * jis_sizes[k])))
    floor[C["Kanji"]] = min(255, floor[C["Kanji"]] + 4 * NON_JIS_KANJI_BITS)
    # Class transitions, and what follows: add-small smoothing.
    transition = []
    for row, ends in zip(trans, after + [[0.0] * 3] * 3):
        # From a non-ASCII class, the next is a class or one of `ends`.
        total = sum(row) + sum(ends) + 0.01 * (len(row) + 3)
        transition.append([cost((n + 0.01) / total) for n in row])
    follow = []
    for row, ends in zip(trans, after):
        total = sum(row) + sum(ends) + 0.01 * (len(row) + 3)
        follow.append([cost((n + 0.01) / total) for n in ends])
    # Half-width katakana after half-width katakana, the transition included.
    half_total = Counter()
    for (a, _), n in pairs.items():
        half_total[a] += n
    half = C["HalfKana"]
    stay = transition[half][half]
    pair_cost = [min(255, stay + cost((pairs[(a, b)] + 0.02) / (half_total[a] + 0.02 * 63)))
                 for a in range(0xFF61, 0xFFA0) for b in range(0xFF61, 0xFFA0)]

    jis = jis_table()
    jis0212 = jis0212_table()

    def rows(values, per_line=16):
        return "\n".join("    " + ", ".join(str(v) for v in values[i:i + per_line]) + ","
                         for i in range(0, len(values), per_line))

    with open(out_path, "w") as out:
        out.write("// Generated by scripts/build-text-model.py from Debian's edict and translations:\n"
                  "// data, not code. Regenerate it; never edit it by hand.\n")
        out.write("// clang-format off\n")
        out.write("inline constexpr ClassRange kClassRanges[] = {\n")
        out.write("\n".join(f"    {{0x{a:04X}, 0x{b:04X}, CharClass::k{n}}}," for a, b, n in RANGES) + "\n};\n")
        out.write("inline constexpr std::uint8_t kFloor[kClasses] = {\n" + rows(floor) + "\n};\n")
        out.write("inline constexpr std::uint8_t kTransition[kContexts][kClasses] = {\n")
        out.write("\n".join("    {" + ", ".join(map(str, r)) + "}," for r in transition) + "\n};\n")
        out.write("inline constexpr std::uint8_t kFollow[kClasses][3] = {\n")
        out.write("\n".join("    {" + ", ".join(map(str, r)) + "}," for r in follow) + "\n};\n")
        out.write("inline constexpr std::uint8_t kHalfPairs[63 * 63] = {\n" + rows(pair_cost, 21) + "\n};\n")
        items = sorted(emit.items())
        out.write("inline constexpr CharCost kCharCosts[] = {\n")
        out.write(rows([f"{{0x{cp:X}, {c}}}" for cp, c in items], 8) + "\n};\n")
        out.write("inline constexpr std::uint16_t kJis[120 * 94] = {\n" + rows(jis) + "\n};\n")
        out.write("inline constexpr std::uint16_t kJis0212[94 * 94] = {\n" + rows(jis0212) + "\n};\n")
        out.write("// clang-format on\n")


if __name__ == "__main__":
    main()
