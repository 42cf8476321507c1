#!/usr/bin/python3
"""Writes the mail decoding corpus: one .eml file per case and expected.json with what a reader must
see (subject, sender, date, body, attachment file names). Run once with /usr/bin/python3; the
results are committed. Messages are built with the email package wherever it can express them;
Windows charsets and deliberately broken input are written as bytes, since no mailer library
produces them on purpose."""

import base64
import json
import os
from email import encoders, policy
from email.header import Header
from email.mime.application import MIMEApplication
from email.mime.base import MIMEBase
from email.mime.message import MIMEMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.utils import encode_rfc2231

HERE = os.path.dirname(os.path.abspath(__file__))
WINDOWS = "①㈱Ⅰ髙～"
DATE = "Mon, 1 Apr 2024 09:00:00 +0900"
expected = {}


def cp932(text):
    # IBM extension characters as the NEC-selected rows, which ISO-2022-JP can carry too.
    return b"".join(b"\xee\xe0" if c == "髙" else c.encode("cp932") for c in text)


def iso2022jp_ms(text):
    """ISO-2022-JP as Windows writes it: code page 932 characters moved to JIS rows."""
    out, mode = bytearray(), "ascii"
    for c in text:
        raw = cp932(c)
        if len(raw) == 1 and raw[0] < 0x80:
            wanted, data = "ascii", raw
        elif len(raw) == 1:
            wanted, data = "kana", bytes([raw[0] - 0x80])
        else:
            c1, c2 = raw
            if c1 >= 0xE0:
                c1 -= 0x40
            j1 = (c1 - 0x81) * 2 + 0x21
            if c2 >= 0x9F:
                j1, j2 = j1 + 1, c2 - 0x9F + 0x21
            else:
                j2 = c2 - 0x40 + 0x21 if c2 < 0x7F else c2 - 0x41 + 0x21
            wanted, data = "kanji", bytes([j1, j2])
        if wanted != mode:
            out += {"ascii": b"\x1b(B", "kana": b"\x1b(I", "kanji": b"\x1b$B"}[wanted]
            mode = wanted
        out += data
    if mode != "ascii":
        out += b"\x1b(B"
    return bytes(out)


def b_word(charset, data):
    return b"=?" + charset.encode() + b"?B?" + base64.b64encode(data) + b"?="


def write(name, data, subject="", sender="", body=None, body_contains=None, attachments=None, date=DATE, notice=False):
    if isinstance(data, str):
        data = data.encode("ascii")
    elif not isinstance(data, bytes):
        data = data.as_bytes(policy=policy.compat32.clone(linesep="\r\n"))
    with open(os.path.join(HERE, name + ".eml"), "wb") as file:
        file.write(data)
    entry = {"subject": subject, "from": sender, "date": date}
    if body is not None:
        entry["body"] = body
    if body_contains is not None:
        entry["bodyContains"] = body_contains
    entry["attachments"] = attachments or []
    expected[name + ".eml"] = entry


def header_lines(subject_bytes, from_bytes, extra=b""):
    return (b"From: " + from_bytes + b"\r\nTo: user@example.jp\r\nSubject: " + subject_bytes
            + b"\r\nDate: " + DATE.encode() + b"\r\nMessage-ID: <corpus@example.jp>\r\nMIME-Version: 1.0\r\n" + extra)


# UTF-8 subject and base64 body, built by the email package.
message = MIMEText("こんにちは、世界。\n" + WINDOWS + " 😀\n", "plain", "utf-8")
message["Subject"] = Header("件名テスト " + WINDOWS, "utf-8")
message["From"] = str(Header("山田太郎", "utf-8")) + " <taro@example.jp>"
message["To"] = "user@example.jp"
message["Date"] = DATE
write("utf8_base64", message, "件名テスト " + WINDOWS, "山田太郎 <taro@example.jp>",
      body="こんにちは、世界。\r\n" + WINDOWS + " 😀\r\n")

# ISO-2022-JP with Windows characters in the subject, the display name and the body.
text = "お世話になっております。" + WINDOWS + " ﾊﾝｶｸｶﾅ\nよろしくお願いします。\n"
raw = header_lines(b_word("ISO-2022-JP", iso2022jp_ms("御見積" + WINDOWS)),
                   b_word("iso-2022-jp", iso2022jp_ms("髙橋商事㈱")) + b" <info@example.jp>",
                   b"Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n")
write("iso2022jp_windows_characters", raw + iso2022jp_ms(text).replace(b"\n", b"\r\n"), "御見積" + WINDOWS,
      "髙橋商事㈱ <info@example.jp>", body=text.replace("\n", "\r\n"))

# Shift_JIS labels read as code page 932: subject B, body 8bit.
text = "ご注文ありがとうございます。" + WINDOWS + "\n"
raw = header_lines(b_word("Shift_JIS", cp932("注文確認" + WINDOWS)), b"shop@example.jp",
                   b"Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n")
write("shift_jis_8bit", raw + cp932(text).replace(b"\n", b"\r\n"), "注文確認" + WINDOWS, "shop@example.jp",
      body=text.replace("\n", "\r\n"))

# windows-31j with quoted-printable, built by the email package.
message = MIMEText("", "plain")
message.set_payload(cp932("明細は下記の通りです。～①～\n"))
message.replace_header("Content-Type", 'text/plain; charset="windows-31j"')
encoders.encode_quopri(message)
message["Subject"] = "=?windows-31j?Q?" + "".join("=%02X" % b for b in cp932("明細～")) + "?="
message["From"] = "billing@example.jp"
message["Date"] = DATE
write("windows31j_quoted_printable", message, "明細～", "billing@example.jp", body="明細は下記の通りです。～①～\r\n")

# EUC-JP.
text = "日本語のメールです。\n"
raw = header_lines(b_word("EUC-JP", "EUC-JPの件名".encode("euc_jp")), b"euc@example.jp",
                   b"Content-Type: text/plain; charset=EUC-JP\r\nContent-Transfer-Encoding: 8bit\r\n\r\n")
write("euc_jp", raw + text.encode("euc_jp").replace(b"\n", b"\r\n"), "EUC-JPの件名", "euc@example.jp",
      body=text.replace("\n", "\r\n"))

# A UTF-8 character split between two encoded words, and ISO-2022-JP words split mid-state.
utf8 = "分割された文字".encode("utf-8")
jis = iso2022jp_ms("漢字の途中で切れる")
raw = header_lines(b_word("UTF-8", utf8[:4]) + b"\r\n " + b_word("UTF-8", utf8[4:]),
                   b_word("ISO-2022-JP", jis[:9]) + b" " + b_word("ISO-2022-JP", jis[9:]) + b" <split@example.jp>",
                   b"Content-Type: text/plain; charset=us-ascii\r\n\r\n")
write("adjacent_words_joined", raw + b"body\r\n", "分割された文字", "漢字の途中で切れる <split@example.jp>", body="body\r\n")

# Unlabelled 8-bit text: UTF-8 first, else code page 932.
text = "ラベルのない本文" + WINDOWS + "\n"
raw = header_lines("生のUTF-8件名".encode("utf-8"), "生の差出人 <raw@example.jp>".encode("utf-8"), b"\r\n")
write("raw_8bit_utf8", raw + text.encode("utf-8").replace(b"\n", b"\r\n"), "生のUTF-8件名", "生の差出人 <raw@example.jp>",
      body=text.replace("\n", "\r\n"))
raw = header_lines(cp932("生のCP932件名" + WINDOWS), cp932("差出人 <raw@example.jp>"), b"\r\n")
write("raw_8bit_cp932", raw + cp932(text).replace(b"\n", b"\r\n"), "生のCP932件名" + WINDOWS, "差出人 <raw@example.jp>",
      body=text.replace("\n", "\r\n"))

# Broken encoded words: malformed ones stay as they stand, damaged ones are read as far as possible.
raw = header_lines(b"=?UTF-8?X?abc?= / =?UTF-8?B?5pel5pys?= / =?no-such-charset?B?" + base64.b64encode("未知".encode("utf-8"))
                   + b"?= / =?UTF-8?B?unterminated", b"=?UTF-8?Q?=E5=A3=8A=E3=82=8C=ZZ?= <broken@example.jp>", b"\r\n")
write("broken_encoded_words", raw + b"text\r\n", "=?UTF-8?X?abc?= / 日本 / 未知 / =?UTF-8?B?unterminated",
      "壊れ=ZZ <broken@example.jp>", body="text\r\n")

# NUL bytes are not allowed to cut the text short: dropped from the body, and a space in a header
# field like every other control character.
raw = header_lines(b"before\x00after", b"nul@example.jp", b"Content-Type: text/plain; charset=utf-8\r\n\r\n")
write("nul_bytes", raw + b"first\x00 line\r\nsecond line\r\n", "before after", "nul@example.jp",
      body="first line\r\nsecond line\r\n")

# The date as the header gives it, zone name and all.
raw = (b"From: jst@example.jp\r\nSubject: JST\r\nDate:  Mon, 1 Apr 2024 09:00:00 JST  \r\n\r\nbody\r\n")
write("date_with_zone_name", raw, "JST", "jst@example.jp", body="body\r\n", date="Mon, 1 Apr 2024 09:00:00 JST")

# 50 levels of nested multipart, the text at the bottom.
inner = MIMEText("最深部の本文\n", "plain", "utf-8")
for level in range(50):
    outer = MIMEMultipart("mixed")
    outer.attach(inner)
    inner = outer
inner["Subject"] = "nested"
inner["From"] = "deep@example.jp"
inner["Date"] = DATE
write("nested_50_levels", inner, "nested", "deep@example.jp", body="最深部の本文\r\n")

# Far deeper than any mail: a notice instead of a parse.
depth = 400
raw = b"From: deeper@example.jp\r\nSubject: too deep\r\nDate: " + DATE.encode() + b"\r\n"
raw += b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0\"\r\n\r\n"
for level in range(1, depth):
    raw += b"--b%d\r\nContent-Type: multipart/mixed; boundary=\"b%d\"\r\n\r\n" % (level - 1, level)
raw += b"--b%d\r\nContent-Type: text/plain\r\n\r\nbottom\r\n" % (depth - 1)
for level in reversed(range(depth)):
    raw += b"--b%d--\r\n" % level
write("nested_400_levels", raw, "too deep", "deeper@example.jp", body_contains="入れ子が多すぎる")

# HTML only: its text; alternative: the plain part.
html = ("<html><head><style>p{color:red}</style><script>alert(1)</script></head><body><p>HTMLだけの"
        "&lt;本文&gt;&amp;&#x2460;&#12849;</p><p>二段落目<br>改行</p></body></html>")
message = MIMEText(html, "html", "utf-8")
message["Subject"] = "html"
message["From"] = "html@example.jp"
message["Date"] = DATE
write("html_only", message, "html", "html@example.jp", body="HTMLだけの<本文>&①㈱\r\n\r\n二段落目\r\n改行")
message = MIMEMultipart("alternative")
message.attach(MIMEText("プレーンの本文\n", "plain", "utf-8"))
message.attach(MIMEText("<p>HTMLの本文</p>", "html", "utf-8"))
message["Subject"] = "alternative"
message["From"] = "alt@example.jp"
message["Date"] = DATE
write("alternative_prefers_plain", message, "alternative", "alt@example.jp", body="プレーンの本文\r\n")

# Attachments named every way mailers name them, and a forwarded message.
message = MIMEMultipart("mixed")
message.attach(MIMEText("添付を送ります。\n", "plain", "utf-8"))
part = MIMEApplication(b"%PDF-1.4 fake", "pdf")
part.add_header("Content-Disposition", "attachment", filename=("utf-8", "", "見積書①.pdf"))
message.attach(part)
part = MIMEApplication(b"sjis name", "octet-stream")
part.add_header("Content-Disposition", "attachment; filename=\"" + b_word("Shift_JIS", cp932("請求書～.txt")).decode() + "\"")
message.attach(part)
part = MIMEApplication(b"jis name", "octet-stream")
part.add_header("Content-Disposition", "attachment; filename*0*=iso-2022-jp''"
                + "".join("%%%02X" % b for b in iso2022jp_ms("㈱髙橋")) + "; filename*1=.csv")
message.attach(part)
part = MIMEApplication(b"name in content type", "octet-stream")
part.set_param("name", "data.bin")
message.attach(part)
forwarded = MIMEText("転送された本文\n", "plain", "utf-8")
forwarded["Subject"] = "forwarded"
forwarded["From"] = "other@example.jp"
message.attach(MIMEMessage(forwarded))
message["Subject"] = "attachments"
message["From"] = "files@example.jp"
message["Date"] = DATE
write("attachment_names", message, "attachments", "files@example.jp", body="添付を送ります。\r\n",
      attachments=["見積書①.pdf", "請求書～.txt", "㈱髙橋.csv", "data.bin", "message.eml"])

# Hostile attachment names: paths, control characters, reserved and hidden names, overlong ones. A
# NUL ends the name where GMime reads it ("nul", a reserved device name).
message = MIMEMultipart("mixed")
message.attach(MIMEText("hostile\n", "plain", "utf-8"))
long_name = "長" * 120 + ".txt"
for name in ["../../../etc/passwd", "C:\\Windows\\System32\\evil.exe", "bell\x07tab\tnew.txt", "CON.txt",
             "..", ".hidden", "what?<>|*.txt", long_name, "same.txt", "same.txt"]:
    part = MIMEApplication(b"x", "octet-stream")
    part.add_header("Content-Disposition", "attachment", filename=name)
    message.attach(part)
part = MIMEApplication(b"x", "octet-stream")
part.add_header("Content-Disposition", "attachment; filename=\"nul" + "\x00" + "name.txt\"")
message.attach(part)
message["Subject"] = "hostile names"
message["From"] = "attacker@example.jp"
message["Date"] = DATE
write("hostile_attachment_names", message, "hostile names", "attacker@example.jp", body="hostile\r\n",
      attachments=["passwd", "evil.exe", "bell_tab_new.txt", "_CON.txt", "attachment.bin", "hidden", "what_____.txt",
                   "長" * 65 + ".txt", "same.txt", "same (2).txt", "_nul"])

# Input shaped to make a careless parser quadratic: an HTML body of bare "&", a parameter list of
# bare ";", a subject of unfinished encoded words.
raw = header_lines(b"=?a?B?AAAA" * 20000 + b"?=", b"slow@example.jp",
                   b"Content-Type: text/html; charset=utf-8\r\n\r\n<p>" + b"&" * 300000 + b";</p>\r\n")
write("quadratic_traps_html", raw, ("=?a?B?AAAA" * 6554)[:65536], "slow@example.jp", body_contains="&&&&&&&&")
raw = header_lines(b"parameters", b"slow@example.jp",
                   b"Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\ntext\r\n"
                   b"--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment" + b";" * 200000
                   + b"filename=x.txt\r\n\r\nx\r\n--b--\r\n")
write("quadratic_traps_parameters", raw, "parameters", "slow@example.jp", body="text", attachments=["x.txt"])

# A split message: the whole, then its parts; one set complete, one missing its middle part.
def split(whole, identifier, pieces):
    header_end = whole.index(b"\r\n\r\n") + 4
    enclosed = whole
    size = -(-len(enclosed) // pieces)
    parts = []
    for number in range(1, pieces + 1):
        chunk = enclosed[(number - 1) * size:number * size]
        head = (b"From: splitter@example.jp\r\nTo: user@example.jp\r\nSubject: split part " + str(number).encode()
                + b"\r\nDate: " + DATE.encode() + b"\r\nMessage-ID: <part" + str(number).encode() + identifier.encode()
                + b">\r\nMIME-Version: 1.0\r\nContent-Type: message/partial; id=\"" + identifier.encode()
                + b"\"; number=" + str(number).encode() + b"; total=" + str(pieces).encode() + b"\r\n\r\n")
        parts.append(head + chunk)
    return parts, header_end


whole = MIMEMultipart("mixed")
whole.attach(MIMEText("分割された大きなメールの本文\n", "plain", "utf-8"))
part = MIMEApplication(bytes(range(256)) * 8, "octet-stream")
part.add_header("Content-Disposition", "attachment", filename=("utf-8", "", "大きな添付.bin"))
whole.attach(part)
whole["Subject"] = Header("分割メール" + WINDOWS, "utf-8")
whole["From"] = "splitter@example.jp"
whole["Date"] = DATE
whole["Message-ID"] = "<whole@example.jp>"
whole_bytes = whole.as_bytes(policy=policy.compat32.clone(linesep="\r\n"))
parts, _ = split(whole_bytes, "split-complete@example.jp", 3)
for number, data in enumerate(parts, 1):
    write("split_complete_%d_of_3" % number, data, "split part %d" % number, "splitter@example.jp",
          body_contains="%d/3" % number)
expected["split_complete_whole"] = {"subject": "分割メール" + WINDOWS, "from": "splitter@example.jp", "date": DATE,
                                    "body": "分割された大きなメールの本文\r\n", "attachments": ["大きな添付.bin"]}
parts, _ = split(whole_bytes, "split-missing@example.jp", 3)
for number in (1, 3):
    write("split_missing_%d_of_3" % number, parts[number - 1], "split part %d" % number, "splitter@example.jp",
          body_contains="%d/3" % number)

with open(os.path.join(HERE, "expected.json"), "w", encoding="utf-8") as file:
    json.dump(expected, file, ensure_ascii=False, indent=1, sort_keys=True)
    file.write("\n")
