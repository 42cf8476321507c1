"""Checks one sent message as three independent readers see it: Python's email package, reformime
(maildrop) and munpack (mpack). Every reader must recover the subject (where it reads one), the
recipients' display names, every attachment's name and its bytes exactly; every encoded word must
be at most 75 characters and the From, To and Subject lines at most 78.

    check_sent_message.py MESSAGE EXPECTED.json

EXPECTED holds {"subject": ..., "to": [[name, address], ...], "attachments": [[name, path], ...]}.
Prints each problem and exits 1 when there is any."""

import email
import email.header
import email.policy
import json
import os
import re
import subprocess
import sys
import tempfile

problems = []


def check(condition, text):
    if not condition:
        problems.append(text)


def header_block(raw):
    return raw.split(b"\r\n\r\n", 1)[0].decode("utf-8")


def field(headers, name):
    match = re.search(r"^%s:([^\r\n]*(?:\r\n[ \t][^\r\n]*)*)" % name, headers, re.MULTILINE | re.IGNORECASE)
    return match.group(0) if match else ""


def check_lengths(raw):
    headers = raw.decode("utf-8", "replace")
    for word in re.findall(r"=\?[^?\s]+\?[bBqQ]\?[^?\s]*\?=", headers):
        check(len(word) <= 75, "encoded word of %d characters: %s" % (len(word), word))
    for name in ("From", "To", "Subject"):
        for line in field(header_block(raw), name).split("\r\n"):
            check(len(line) <= 78, "%s line of %d characters: %s" % (name, len(line), line))


def check_python(raw, expected):
    message = email.message_from_bytes(raw, policy=email.policy.default)
    check(str(message["subject"]) == expected["subject"], "email: subject %r" % str(message["subject"]))
    got = [(a.display_name, a.addr_spec) for a in message["to"].addresses]
    check(got == [tuple(pair) for pair in expected["to"]], "email: To %r" % got)
    parts = [part for part in message.iter_attachments()]
    check(len(parts) == len(expected["attachments"]), "email: %d attachments" % len(parts))
    for part, (name, path) in zip(parts, expected["attachments"]):
        check(part.get_filename() == name, "email: file name %r" % part.get_filename())
        check(part.get_param("name") == name, "email: Content-Type name %r" % part.get_param("name"))
        with open(path, "rb") as original:
            check(part.get_payload(decode=True) == original.read(), "email: bytes of %s" % name)


def reformime(arguments, raw):
    return subprocess.run(["reformime"] + arguments, input=raw, capture_output=True, check=True).stdout


def check_reformime(raw, expected):
    subject = " ".join(field(header_block(raw), "Subject").split(":", 1)[1].split("\r\n")).strip()
    decoded = reformime(["-c", "UTF-8", "-h", subject], b"").decode("utf-8").strip()
    check(decoded == expected["subject"], "reformime: subject %r" % decoded)
    to = " ".join(field(header_block(raw), "To").split(":", 1)[1].split("\r\n")).strip()
    decoded_to = reformime(["-c", "UTF-8", "-h", to], b"").decode("utf-8")
    for name, _ in expected["to"]:
        check(name in decoded_to, "reformime: display name %r not in %r" % (name, decoded_to))
    info = reformime(["-i"], raw).decode("utf-8")
    sections = re.findall(r"^section: (\S+)\n((?:(?!section:).*\n)*)", info, re.MULTILINE)
    named = [(number, re.search(r"^content-disposition-filename: (.*)$", body, re.MULTILINE))
             for number, body in sections]
    named = [(number, match.group(1)) for number, match in named if match]
    check([name for _, name in named] == [name for name, _ in expected["attachments"]],
          "reformime: names %r" % [name for _, name in named])
    for (number, name), (_, path) in zip(named, expected["attachments"]):
        with open(path, "rb") as original:
            check(reformime(["-e", "-s", number], raw) == original.read(), "reformime: bytes of %s" % name)


def check_munpack(raw, expected):
    # munpack decodes neither RFC 2047 nor RFC 2231 and replaces every character it does not like
    # (every byte beyond ASCII among them) with the one given: it saves the encoded "name" of the
    # Content-Type, with the blanks between encoded words as "?" and a "/" of the base64 as a
    # folder. Decoded, that must be the name. It writes text parts with LF line ends.
    with tempfile.TemporaryDirectory() as folder:
        message = os.path.join(folder, "message.eml")
        with open(message, "wb") as kept:
            kept.write(raw)
        subprocess.run(["munpack", "-q", "-f", "-r", "?", "-C", folder, message], capture_output=True, check=True)
        saved = sorted(os.path.relpath(os.path.join(top, name), folder) for top, _, names in os.walk(folder) for name in names
                       if name != "message.eml" and not name.endswith(".desc"))
        recovered = {}
        for name in saved:
            words = re.sub(r"\?=\?+=\?", "?= =?", name)
            decoded = str(email.header.make_header(email.header.decode_header(words)))
            with open(os.path.join(folder, name), "rb") as part:
                recovered[decoded] = part.read()
        for name, path in expected["attachments"]:
            with open(path, "rb") as original:
                content = original.read()
            if name.endswith(".txt"):
                content = content.replace(b"\r\n", b"\n")
            check(recovered.get(name) == content, "munpack: %r not recovered (saved %r)" % (name, saved))


def main():
    with open(sys.argv[1], "rb") as sent:
        raw = sent.read()
    with open(sys.argv[2], encoding="utf-8") as described:
        expected = json.load(described)
    check_lengths(raw)
    check_python(raw, expected)
    check_reformime(raw, expected)
    check_munpack(raw, expected)
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
