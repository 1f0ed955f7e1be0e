"""Registry exports as written by Wine's `reg export`, read into plain data.

A tree is {key path: {value name or None for the default value: (type, data)}},
key paths relative to the exported root and spelled as the export spells them.
Types are "sz", "expand_sz", "multi_sz", "dword" and "binary"."""
import codecs
import subprocess


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(nxt, nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _quoted(text, start):
    """The string in double quotes at text[start] and the index after it."""
    assert text[start] == '"'
    i = start + 1
    while i < len(text):
        if text[i] == "\\":
            i += 2
            continue
        if text[i] == '"':
            return _unescape(text[start + 1:i]), i + 1
        i += 1
    raise ValueError("unterminated string: " + text)


def _hex_bytes(text):
    return bytes(int(b, 16) for b in text.replace(" ", "").split(",") if b)


def _value(data):
    if data.startswith('"'):
        text, end = _quoted(data, 0)
        if data[end:].strip():
            raise ValueError("trailing text after value: " + data)
        return "sz", text
    if data.startswith("dword:"):
        return "dword", int(data[6:], 16)
    if data.startswith("hex(2):"):
        return "expand_sz", _hex_bytes(data[7:]).decode("utf-16-le").rstrip("\0")
    if data.startswith("hex(7):"):
        raw = _hex_bytes(data[7:]).decode("utf-16-le")
        return "multi_sz", tuple(s for s in raw.rstrip("\0").split("\0"))
    if data.startswith("hex:"):
        return "binary", _hex_bytes(data[4:])
    raise ValueError("unsupported registry value: " + data)


def parse(text, root):
    """Parses export text; keys outside `root` are an error."""
    lines, pending = [], ""
    for raw in text.splitlines():
        line = pending + raw.strip() if pending else raw.rstrip()
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        lines.append(line)

    tree, current = {}, None
    prefix = root.lower()
    for line in lines:
        if not line or line.startswith("Windows Registry Editor") or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            path = line[1:-1]
            if path.lower() == prefix:
                current = ""
            elif path.lower().startswith(prefix + "\\"):
                current = path[len(root) + 1:]
            else:
                raise ValueError("key outside %s: %s" % (root, path))
            tree.setdefault(current, {})
            continue
        if current is None:
            raise ValueError("value before any key: " + line)
        if line.startswith("@="):
            name, data = None, line[2:]
        else:
            name, end = _quoted(line, 0)
            if line[end] != "=":
                raise ValueError("bad value line: " + line)
            data = line[end + 1:]
        tree[current][name] = _value(data)
    return tree


def read(path, root):
    with open(path, "rb") as f:
        raw = f.read()
    encoding = "utf-16" if raw.startswith(codecs.BOM_UTF16_LE) else "utf-8"
    return parse(raw.decode(encoding), root)


def export(wine, env, root, path):
    """Runs `reg export` for `root` in the prefix that `env` names; returns the tree."""
    subprocess.run([wine, "reg", "export", root, path, "/y"], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return read(path, root)


def difference(before, after):
    """What `after` adds to `before`: (new keys, added or changed values, removed
    or changed values). Values are (key, name, (type, data)) triples."""
    before_keys = {k.lower(): k for k in before}
    new_keys = sorted(k for k in after if k.lower() not in before_keys)
    added, removed = [], []
    for key, values in after.items():
        old = before.get(before_keys.get(key.lower(), key), {})
        for name, value in values.items():
            if old.get(name) != value:
                added.append((key, name, value))
    after_keys = {k.lower(): k for k in after}
    for key, values in before.items():
        new = after.get(after_keys.get(key.lower(), key))
        for name, value in values.items():
            if new is None or new.get(name) != value:
                removed.append((key, name, value))
    return new_keys, sorted(added, key=_order), sorted(removed, key=_order)


def _order(entry):
    key, name, _ = entry
    return (key.lower(), "" if name is None else name.lower())


def describe(entry):
    key, name, (kind, data) = entry
    return "%s [%s] %s=%r" % (key, "@" if name is None else name, kind, data)
