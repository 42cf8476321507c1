#!/usr/bin/python3
"""Writes the hostile inputs that once crashed, hung, exhausted or misled the decoder, one named file
each. Run once with /usr/bin/python3; the results are committed and FuzzFindingsTest replays them.
Inputs too large to commit (a header of millions of lines, messages past the size cap) are built
by the tests themselves."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
HEAD = ("From: hostile@example.jp\nTo: user@localhost\nSubject: {subject}\n"
        "Date: Mon, 1 Apr 2024 09:00:00 +0900\nMIME-Version: 1.0\n")


def write(name, data):
    with open(os.path.join(HERE, name + ".eml"), "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


# Text that only talks about container types: once taken for 300 levels of nesting, stored as a
# notice and deleted without its attachment.
old_mail = "".join("Content-Type: multipart/mixed; boundary=\"old{0}\"\nContent-Type: message/rfc822\n".format(i)
                   for i in range(160))
write("mentions_container_types_320_times",
      HEAD.format(subject="old mail") + "Content-Type: multipart/mixed; boundary=\"outer\"\n\n--outer\n"
      "Content-Type: text/plain; charset=us-ascii\n\nAn archive of old mail follows.\n--outer\n"
      "Content-Type: text/plain; charset=us-ascii; name=\"archive.txt\"\n"
      "Content-Disposition: attachment; filename=\"archive.txt\"\nContent-Transfer-Encoding: 7bit\n\n"
      + old_mail + "--outer--\n")

# Real nesting past the depth the walk follows: the parser recursed once per level.
depth = 70
nested = HEAD.format(subject="nested 70") + "Content-Type: multipart/mixed; boundary=\"b0\"\n\n"
for level in range(1, depth):
    nested += "--b{0}\nContent-Type: multipart/mixed; boundary=\"b{1}\"\n\n".format(level - 1, level)
nested += "--b{0}\nContent-Type: text/plain\n\nbottom\n".format(depth - 1)
for level in reversed(range(depth)):
    nested += "--b{0}--\n".format(level)
write("multipart_nested_70_levels", nested)

# The same with forwarded messages inside forwarded messages, no boundary at all.
forwarded = HEAD.format(subject="forwarded 70")
for level in range(depth):
    forwarded += "Content-Type: message/rfc822\n\nSubject: level {0}\n".format(level)
forwarded += "Content-Type: text/plain\n\nbottom\n"
write("nested_message_70_levels", forwarded)

# Boundaries opened and never closed.
unclosed = HEAD.format(subject="unclosed") + "Content-Type: multipart/mixed; boundary=\"u0\"\n\n"
for level in range(1, depth):
    unclosed += "--u{0}\nContent-Type: multipart/alternative; boundary=\"u{1}\"\n\n".format(level - 1, level)
write("unclosed_boundaries_70_levels", unclosed)

# More parts than the walk visits.
parts = HEAD.format(subject="many parts") + "Content-Type: multipart/mixed; boundary=\"p\"\n\n"
for part in range(1001):
    parts += "--p\nContent-Type: text/plain\n\n{0}\n".format(part)
parts += "--p--\n"
write("parts_1001", parts)

# Header fields past the scan limit: the sender stays readable, nothing else is decoded.
fields = HEAD.format(subject="many fields") + "".join("X-Filler-{0}: x\n".format(i) for i in range(2100))
write("header_2100_fields", fields + "\nbody\n")

# A line break inside an encoded word would start a header field of its own wherever it is written.
write("encoded_line_break_in_subject",
      "From: =?UTF-8?Q?a=0D=0AX-Injected:_1?= <a@example.jp>\nTo: user@localhost\n"
      "Subject: =?UTF-8?Q?Re:_invoice=0D=0ABcc:_attacker@example.com?=\nDate: Mon, 1 Apr 2024\x0b09:00 +0900\n\nbody\n")

# An encoded word that yields no bytes, and one that no charset reads, between valid words.
write("undecodable_encoded_words",
      "From: a@example.jp\nTo: user@localhost\nSubject: =?UTF-8?B?5pel?= =?UTF-8?B?!!!!?= =?UTF-8?B?//8=?= =?UTF-8?B?5pys?=\n"
      "Date: Mon, 1 Apr 2024 09:00:00 +0900\n\nbody\n")

# A part of a split message numbered past its total can never join its message: once it was
# refused on every session and never left the server.
write("split_part_numbered_past_its_total",
      HEAD.format(subject="split bad") + "Content-Type: message/partial; id=\"bad@example.jp\"; number=3; total=2\n\n"
      "Subject: inner\n\nbody\n")

# The nesting of multipart_nested_70_levels written the ways a scan of plain boundaries missed:
# the parser built every level (a 30 MB one took 4 GB). Each is refused at the level its plain
# twin is.
def nested_with(subject, content_type, boundary_line):
    text = HEAD.format(subject=subject) + content_type(0) + "\n\n"
    for level in range(1, depth):
        text += boundary_line(level - 1) + "\n" + content_type(level) + "\n\n"
    text += boundary_line(depth - 1) + "\nContent-Type: text/plain\n\nbottom\n"
    for level in reversed(range(depth)):
        text += boundary_line(level) + "--\n"
    return text


write("boundary_pieces_nested_70_levels",
      nested_with("pieces 70", lambda n: "Content-Type: multipart/mixed; boundary*0=\"b\"; boundary*1=\"{0}\"".format(n),
                  lambda n: "--b{0}".format(n)))
write("boundary_charset_nested_70_levels",
      nested_with("charset 70", lambda n: "Content-Type: multipart/mixed; boundary*=us-ascii''b%{0:02X}".format(0x30 + n),
                  lambda n: "--b" + chr(0x30 + n)))
write("empty_boundary_nested_70_levels",
      nested_with("empty 70", lambda n: "Content-Type: multipart/mixed; boundary=\"\"", lambda n: "--"))

# Digests inside digests: a part without a Content-Type is a forwarded message.
digest = HEAD.format(subject="digest 70")
for level in range(depth):
    digest += "Content-Type: multipart/digest; boundary=\"d{0}\"\n\n--d{0}\n\n".format(level)
digest += "Content-Type: text/plain\n\nbottom\n"
for level in reversed(range(depth)):
    digest += "--d{0}--\n".format(level)
write("digest_nested_70_levels", digest)

# A Subject of encoded words opened and never closed: the parser looked ahead to the end of the
# field for each of them, and 116 KB took seconds; forwarded messages multiply it.
write("subject_of_unclosed_encoded_words", HEAD.format(subject="=?a?B?AAAA=" * 10000) + "\nbody\n")
forwarded_subjects = HEAD.format(subject="forwarded") + "Content-Type: multipart/mixed; boundary=\"f\"\n\n"
for number in range(40):
    forwarded_subjects += ("--f\nContent-Type: message/rfc822\n\nFrom: a@example.jp\nSubject: "
                           + "=?a?B?AAAA=" * 600 + "\n\nforwarded {0}\n".format(number))
write("forwarded_subjects_of_unclosed_encoded_words", forwarded_subjects + "--f--\n")
