#!/usr/bin/env python3
"""Writes the corpus of bench/detect_anchors.sh: word files of 1, 2, 3 and 5
lines made of real words, in each encoding a word file is found in.

Sets (directory names):
  ja-cp932, ja-euc-jp, ja-utf-8: Japanese lines, each from EDICT
    (/usr/share/edict/edict: "0head word,gloss"), ENAMDICT
    (/usr/share/edict/enamdict: "0name,romaji") or SKK-JISYO.L
    (/usr/share/skk/SKK-JISYO.L: "0reading,word"), at random;
  hw-cp932: the reading of an EDICT entry in half-width katakana, with its
    gloss ("0ﾈｺ,cat"), in code page 932;
  vi, ko, tr, cs, de, el, ru (UTF-8): "0word,word" from the Hunspell
    dictionaries (/usr/share/hunspell/*.dic), the first word with a letter
    outside ASCII.
Usage: detect_corpus.py OUTDIR [FILES_PER_CELL] [SEED]
"""
import os
import random
import sys
import unicodedata

HUNSPELL = {"vi": "vi_VN", "ko": "ko", "tr": "tr_TR", "cs": "cs_CZ", "de": "de_DE", "el": "el_GR", "ru": "ru_RU"}
LINES = (1, 2, 3, 5)


def edict(path, skip_header=True):
    entries = []
    with open(path, "rb") as f:
        for raw in f.read().decode("euc_jp", "replace").splitlines()[1 if skip_header else 0:]:
            head, _, rest = raw.partition(" ")
            reading = rest[1:rest.index("]")] if rest.startswith("[") else ""
            gloss = rest.split("/")[1] if "/" in rest else ""
            gloss = gloss.replace(",", ";")
            if "\ufffd" not in head and gloss:
                entries.append((head, reading, gloss))
    return entries


def skk(path):
    pairs = []
    with open(path, "rb") as f:
        for raw in f.read().decode("euc_jp", "replace").splitlines():
            if raw.startswith(";") or " /" not in raw or "\ufffd" in raw:
                continue
            reading, _, words = raw.partition(" /")
            word = words.split("/")[0].split(";")[0]
            if word and reading[-1:].isalpha() and not reading[-1].isascii():
                pairs.append((reading, word))
    return pairs


def hunspell(name):
    aff = open(f"/usr/share/hunspell/{name}.aff", "rb").read()
    enc = "iso8859-7" if b"SET ISO8859-7" in aff else "utf-8"
    words = []
    for line in open(f"/usr/share/hunspell/{name}.dic", "rb").read().decode(enc, "replace").splitlines()[1:]:
        w = line.split("/")[0].strip()
        if w and "," not in w and "\ufffd" not in w and not w.startswith("\t"):
            words.append(unicodedata.normalize("NFC", w))
    return words


def half_width(text):
    table = {}
    for cp in range(0xFF61, 0xFFA0):
        table.setdefault(unicodedata.normalize("NFKC", chr(cp)), chr(cp))
    out = []
    for ch in text:
        if "\u3041" <= ch <= "\u3096":
            ch = chr(ord(ch) + 0x60)
        if ch in table:
            out.append(table[ch])
            continue
        base = unicodedata.normalize("NFD", ch)
        mark = {"\u3099": "\uFF9E", "\u309A": "\uFF9F"}.get(base[1:2])
        if len(base) == 2 and base[0] in table and mark:
            out.append(table[base[0]] + mark)
        else:
            return None
    return "".join(out)


def encodable(text, enc):
    try:
        text.encode(enc)
        return True
    except UnicodeEncodeError:
        return False


def main():
    out = sys.argv[1]
    per_cell = int(sys.argv[2]) if len(sys.argv) > 2 else 150
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    ed = edict("/usr/share/edict/edict")
    names = edict("/usr/share/edict/enamdict")
    sk = skk("/usr/share/skk/SKK-JISYO.L")

    def japanese():
        source = rng.randrange(3)
        if source == 0:
            head, _, gloss = rng.choice(ed)
            return f"0{head},{gloss}"
        if source == 1:
            head, _, gloss = rng.choice(names)
            return f"0{head},{gloss}"
        reading, word = rng.choice(sk)
        return f"0{reading},{word}"

    halves = [(h, g) for _, r, g in ed for h in [half_width(r)] if r and h]

    def half():
        h, g = rng.choice(halves)
        return f"0{h},{g}"

    sets = {}
    for enc, codec in (("cp932", "cp932"), ("euc-jp", "euc_jp"), ("utf-8", "utf-8")):
        sets[f"ja-{enc}"] = (japanese, codec)
    sets["hw-cp932"] = (half, "cp932")
    for lang, name in HUNSPELL.items():
        words = hunspell(name)
        accented = [w for w in words if not w.isascii()]

        def line(words=words, accented=accented):
            return f"0{rng.choice(accented)},{rng.choice(words)}"

        sets[lang] = (line, "utf-8")

    for name, (make, codec) in sets.items():
        for n in LINES:
            d = os.path.join(out, name, str(n))
            os.makedirs(d, exist_ok=True)
            made = 0
            while made < per_cell:
                lines = [make() for _ in range(n)]
                text = "\r\n".join(lines) + "\r\n"
                if not encodable(text, codec) or text.isascii():
                    continue
                with open(os.path.join(d, f"{made:03d}.txt"), "wb") as f:
                    f.write(text.encode(codec))
                made += 1


if __name__ == "__main__":
    main()
