#!/usr/bin/python3
"""Writes the everyday-mail corpus: messages shaped as phones, desktop mailers, list servers,
mail servers' bounces and shop newsletters send them, damaged and unlabelled ones included, each as
an .eml file, and expected.json with what the person must read: subject, sender, date, the body
as stored (the marks of inline parts naming the files as saved), the attachment files, and whether
the receive adds its attachment notice. Every byte is written here by hand, so a run gives the same
files again. Run once with /usr/bin/python3; the results are committed."""

import base64
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = "Tue, 8 Dec 2026 10:00:00 +0900"
expected = {}


def crlf(text):
    return text.replace("\n", "\r\n")


def header(subject=b"", sender=b"", extra=b"", date=DATE.encode()):
    lines = b""
    if sender:
        lines += b"From: " + sender + b"\n"
    lines += b"To: user@localhost\n"
    if subject:
        lines += b"Subject: " + subject + b"\n"
    if date:
        lines += b"Date: " + date + b"\n"
    return lines + b"MIME-Version: 1.0\n" + extra


def b_word(charset, data):
    return b"=?" + charset.encode() + b"?B?" + base64.b64encode(data) + b"?="


def jis(text):
    return text.encode("iso2022_jp")


def b64(data):
    encoded = base64.b64encode(data)
    return b"\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76)) + b"\n"


def part(headers, content):
    return headers + b"\n" + content


def multipart(boundary, parts, preamble=b""):
    out = preamble
    for each in parts:
        out += b"--" + boundary + b"\n" + each
        if not each.endswith(b"\n"):
            out += b"\n"
    return out + b"--" + boundary + b"--\n"


def write(name, raw, subject, sender, body, attachments=(), date=DATE, notice=None):
    with open(os.path.join(HERE, name + ".eml"), "wb") as file:
        file.write(raw)
    if notice is None:
        # The receive adds its notice when the raw text of a message of parts names an attachment.
        notice = b"multipart/" in raw.split(b"\n\n", 1)[0].lower() and b"attachment" in raw.split(b"\n\n", 1)[-1]
    expected[name + ".eml"] = {"subject": subject, "from": sender, "date": date, "body": body,
                               "attachments": list(attachments), "notice": notice}


JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00fake picture\xff\xd9"
PNG = b"\x89PNG\r\n\x1a\nfake png"

# A phone's mail: text, a picture, more text.
raw = header(b_word("UTF-8", "写真です".encode()), b"=?UTF-8?B?" + base64.b64encode("佐藤".encode()) + b"?= <sato@example.jp>",
             b"Content-Type: multipart/mixed; boundary=\"phone\"\n\n") + multipart(b"phone", [
    part(b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "旅行の写真を送ります。\n".encode()),
    part(b"Content-Type: image/jpeg; name=\"IMG_0001.jpg\"\nContent-Disposition: inline; filename=\"IMG_0001.jpg\"\n"
         b"Content-Transfer-Encoding: base64\n", b64(JPEG)),
    part(b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "また連絡します。\n".encode()),
])
write("picture_between_text", raw, "写真です", "佐藤 <sato@example.jp>",
      "旅行の写真を送ります。\r\n\r\n［画像: IMG_0001.jpg］\r\n\r\nまた連絡します。\r\n", ["IMG_0001.jpg"])

# A desktop mailer's pictures with Content-ID in a mixed message, two of the same name, one without a
# disposition; the second file takes the next free name and its mark says so.
raw = header(b"two pictures", b"desk@example.jp", b"Content-Type: multipart/mixed; boundary=\"desk\"\n\n") + multipart(b"desk", [
    part(b"Content-Type: text/plain; charset=us-ascii\n", b"First picture:\n"),
    part(b"Content-Type: image/png; name=\"image.png\"\nContent-ID: <p1@desk>\nContent-Disposition: inline; filename=image.png\n"
         b"Content-Transfer-Encoding: base64\n", b64(PNG)),
    part(b"Content-Type: text/plain; charset=us-ascii\n", b"Second picture:\n"),
    part(b"Content-Type: image/png; name=\"image.png\"\nContent-ID: <p2@desk>\nContent-Transfer-Encoding: base64\n", b64(PNG + b"2")),
    part(b"Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n", b64(b"nameless data")),
])
write("pictures_with_content_id", raw, "two pictures", "desk@example.jp",
      "First picture:\r\n\r\n［画像: image.png］\r\n\r\nSecond picture:\r\n\r\n［画像: image (2).png］\r\n\r\n［添付: attachment.bin］\r\n",
      ["image.png", "image (2).png", "attachment.bin"])

# A mailing list's footer as a second text part, after an ISO-2022-JP post.
raw = header(b_word("ISO-2022-JP", jis("[ml:123] 定例会のお知らせ")), b"ml@lists.example.jp",
             b"Content-Type: multipart/mixed; boundary=\"list\"\n\n") + multipart(b"list", [
    part(b"Content-Type: text/plain; charset=ISO-2022-JP\nContent-Transfer-Encoding: 7bit\n",
         jis("来週の定例会は水曜日です。\n")),
    part(b"Content-Type: text/plain; charset=\"us-ascii\"\nContent-Disposition: inline\n",
         b"_______________________________________________\nml mailing list\nhttps://lists.example.jp/ml\n"),
])
write("list_footer", raw, "[ml:123] 定例会のお知らせ", "ml@lists.example.jp",
      "来週の定例会は水曜日です。\r\n\r\n_______________________________________________\r\nml mailing list\r\nhttps://lists.example.jp/ml\r\n")

# A list server's footer appended to an alternative post: the plain alternative, then the footer.
raw = header(b"alternative and footer", b"poster@example.jp", b"Content-Type: multipart/mixed; boundary=\"outer\"\n\n") + multipart(b"outer", [
    part(b"Content-Type: multipart/alternative; boundary=\"inner\"\n", multipart(b"inner", [
        part(b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "プレーンの本文\n".encode()),
        part(b"Content-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "<p>HTMLの本文</p>\n".encode()),
    ])),
    part(b"Content-Type: text/plain; charset=us-ascii\n", b"-- \nTo unsubscribe, write to ml-leave@example.jp\n"),
])
write("alternative_then_footer", raw, "alternative and footer", "poster@example.jp",
      "プレーンの本文\r\n\r\n-- \r\nTo unsubscribe, write to ml-leave@example.jp\r\n")

# A bounce: the explanation, the delivery report and the returned headers, all inline.
raw = header(b"Undelivered Mail Returned to Sender", b"MAILER-DAEMON@mx.example.jp (Mail Delivery System)",
             b"Content-Type: multipart/report; report-type=delivery-status; boundary=\"bounce\"\n\n") + multipart(b"bounce", [
    part(b"Content-Description: Notification\nContent-Type: text/plain; charset=us-ascii\n",
         b"I'm sorry to have to inform you that your message could not\nbe delivered to one or more recipients.\n"),
    part(b"Content-Description: Delivery report\nContent-Type: message/delivery-status\n",
         b"Reporting-MTA: dns; mx.example.jp\n\nFinal-Recipient: rfc822; nobody@example.jp\nAction: failed\nStatus: 5.1.1\n"),
    part(b"Content-Description: Undelivered Message Headers\nContent-Type: text/rfc822-headers\nContent-Disposition: inline\n",
         b"From: user@localhost\nTo: nobody@example.jp\nSubject: hello\n"),
], b"This is a MIME-encapsulated message.\n\n")
write("bounce_report", raw, "Undelivered Mail Returned to Sender", "MAILER-DAEMON@mx.example.jp (Mail Delivery System)",
      "I'm sorry to have to inform you that your message could not\r\nbe delivered to one or more recipients.\r\n\r\n"
      "Reporting-MTA: dns; mx.example.jp\r\n\r\nFinal-Recipient: rfc822; nobody@example.jp\r\nAction: failed\r\nStatus: 5.1.1\r\n\r\n"
      "From: user@localhost\r\nTo: nobody@example.jp\r\nSubject: hello\r\n")

# A named text part shown inline between two others, and an attached file that is not.
raw = header(b"memo inline", b"memo@example.jp", b"Content-Type: multipart/mixed; boundary=\"memo\"\n\n") + multipart(b"memo", [
    part(b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "メモを貼ります。\n".encode()),
    part(b"Content-Type: text/plain; charset=UTF-8; name=\"memo.txt\"\nContent-Disposition: inline; filename=\"memo.txt\"\n"
         b"Content-Transfer-Encoding: base64\n", b64("買い物：牛乳、卵\n".encode())),
    part(b"Content-Type: application/pdf; name=\"map.pdf\"\nContent-Disposition: attachment; filename=\"map.pdf\"\n"
         b"Content-Transfer-Encoding: base64\n", b64(b"%PDF-1.4 map")),
    part(b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "以上です。\n".encode()),
])
write("named_text_inline", raw, "memo inline", "memo@example.jp",
      "メモを貼ります。\r\n\r\n買い物：牛乳、卵\r\n\r\n以上です。\r\n", ["map.pdf"])

# Content-Type: text without a subtype, and one that cannot be parsed at all: plain text.
raw = header(b"text without subtype", b"old@example.jp", b"Content-Type: text\nContent-Transfer-Encoding: 8bit\n\n") \
    + "サブタイプのない本文\n".encode()
write("content_type_text_only", raw, "text without subtype", "old@example.jp", "サブタイプのない本文\r\n")
raw = header(b"unparsable type", b"broken@example.jp", b"Content-Type: <html>\n\n") + b"Plain words, <b>not</b> markup.\n"
write("content_type_unparsable", raw, "unparsable type", "broken@example.jp", "Plain words, <b>not</b> markup.\r\n")

# A header not followed by a blank line: the first line that is no header field starts the text.
raw = header(b"no blank line", b"rush@example.jp") + "急いで書いた本文\n二行目\n".encode()
write("header_without_blank_line", raw, "no blank line", "rush@example.jp", "急いで書いた本文\r\n二行目\r\n")

# The same in a message of parts, whose raw source must not become the body.
raw = header(b"parts without blank line", b"rush@example.jp", b"Content-Type: multipart/mixed; boundary=\"rush\"\n") + multipart(b"rush", [
    part(b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n", "部分の本文\n".encode()),
])
write("multipart_without_blank_line", raw, "parts without blank line", "rush@example.jp", "部分の本文")

# No header at all.
raw = "ヘッダーのないメール\n本文だけがあります。\n".encode()
write("no_header", raw, "", "", "ヘッダーのないメール\r\n本文だけがあります。\r\n", date="")

# A first header line that starts with a blank.
raw = b" Received: from relay (relay [192.0.2.1])\n" + header(b"leading blank", b"relay@example.jp",
                                                                b"Content-Type: text/plain; charset=UTF-8\n\n") + "本文は残ります。\n".encode()
write("first_line_starts_with_blank", raw, "leading blank", "relay@example.jp", "本文は残ります。\r\n")

# Unlabelled 8-bit EUC-JP, in the subject and the body, as an old list server sends it.
raw = b"From: euc-ml@example.jp\nTo: user@localhost\nSubject: " + "ＥＵＣの件名".encode("euc_jp") + b"\nDate: " + DATE.encode() \
    + b"\n\n" + "ＥＵＣで書かれた本文です。\nよろしくお願いします。\n".encode("euc_jp")
write("euc_jp_unlabelled", raw, "ＥＵＣの件名", "euc-ml@example.jp", "ＥＵＣで書かれた本文です。\r\nよろしくお願いします。\r\n")

# Unlabelled 8-bit code page 932 between ASCII words.
raw = b"From: sjis@example.jp\nTo: user@localhost\nSubject: Re: " + "ご注文の件".encode("cp932") + b"\nDate: " + DATE.encode() \
    + b"\n\n" + "Windows版のソフトをお送りします。\n".encode("cp932")
write("cp932_unlabelled", raw, "Re: ご注文の件", "sjis@example.jp", "Windows版のソフトをお送りします。\r\n")

# Unlabelled 8-bit Windows-1252: Western text with curly quotes and an accent.
raw = b"From: west@example.com\nTo: user@localhost\nSubject: " + "It’s the world’s best café".encode("cp1252") + b"\nDate: " \
    + DATE.encode() + b"\n\n" + "We’re glad you’re coming – see you at the café.\n".encode("cp1252")
write("windows1252_unlabelled", raw, "It’s the world’s best café", "west@example.com", "We’re glad you’re coming – see you at the café.\r\n")

# Plain text declared base64 that is not, and base64 with a list footer appended as it stands.
raw = header(b"not base64", b"liar@example.jp", b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n") \
    + "これはbase64ではありません。\nそのまま読めます。\n".encode()
write("declared_base64_but_plain", raw, "not base64", "liar@example.jp", "これはbase64ではありません。\r\nそのまま読めます。\r\n")
raw = header(b"base64 and footer", b"ml@example.jp", b"Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n") \
    + b64("本文はbase64です。\n".encode()) + b"--\nml mailing list\n"
write("base64_with_plain_footer", raw, "base64 and footer", "ml@example.jp", "本文はbase64です。\r\n--\r\nml mailing list\r\n")

# Broken ISO-2022-JP: an unknown escape sequence in the body, a cut one in the subject.
raw = header(b_word("ISO-2022-JP", b"\x1b$B7oL>\x1b(B\x1b$"), b"jis@example.jp",
             b"Content-Type: text/plain; charset=ISO-2022-JP\n\n") + b"\x1b$B$3$s$K$A$O\x1b(B \x1b$ZAB\x1b(B end\n"
write("iso2022jp_broken_escapes", raw, "件名〓", "jis@example.jp", "こんにちは 〓AB end\r\n")

# A shop's HTML-only newsletter with its pictures by Content-ID.
html = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>News</title><style>td{color:red}</style>"
        "<script>var a = '<p>no</p>';</script></head><body><!-- tracking comment -->"
        "<h1>冬のセール&nbsp;&rarr;&nbsp;50&percnt;OFF</h1>"
        "<p><img src=\"cid:logo@shop\" alt=\"ショップ &amp; カフェ\" title=\"a > b\"> It&rsquo;s here&hellip;</p>"
        "<ul><li>コート &middot; 5,000円</li><li>マフラー &bull; 1,000円</li></ul>"
        "<table><tr><th>商品</th><th>価格</th></tr><tr><td>手袋</td><td>&yen;800</td></tr></table>"
        "<p><a href=\"https://shop.example.jp/sale?id=1&amp;x=2\">セール会場へ</a><br>"
        "<a href=\"https://shop.example.jp/\">https://shop.example.jp/</a></p></body></html>")
raw = header(b"=?UTF-8?B?" + base64.b64encode("冬のセール".encode()) + b"?=", b"news@shop.example.jp",
             b"Content-Type: multipart/related; boundary=\"news\"; type=\"text/html\"\n\n") + multipart(b"news", [
    part(b"Content-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: base64\n", b64(html.encode())),
    part(b"Content-Type: image/png\nContent-ID: <logo@shop>\nContent-Transfer-Encoding: base64\n", b64(PNG)),
])
write("html_newsletter", raw, "冬のセール", "news@shop.example.jp",
      "冬のセール → 50%OFF\r\n\r\nショップ & カフェ It’s here…\r\n\r\n・コート · 5,000円\r\n・マフラー • 1,000円\r\n\r\n"
      "商品\t価格\r\n手袋\t¥800\r\n\r\nセール会場へ <https://shop.example.jp/sale?id=1&x=2>\r\nhttps://shop.example.jp/")

with open(os.path.join(HERE, "expected.json"), "w", encoding="utf-8") as file:
    json.dump(expected, file, ensure_ascii=False, indent=1, sort_keys=True)
    file.write("\n")
