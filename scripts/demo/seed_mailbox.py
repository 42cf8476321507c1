#!/usr/bin/env python3
"""The demo mailbox: some forty Japanese messages as they arrive at a small office in Japan, in
ISO-2022-JP, Shift_JIS and UTF-8, from senders that the demo's sort rules catch and from others,
with attachments under Japanese names, one spam that a demo keyword drops and one message split
into three parts. Writes into OUTDIR:

  messages/NN.eml   the raw messages, in delivery order (LF line ends)
  rules.tsv         the sort rules 1 to 10: name TAB mail address (UTF-8)
  keywords.txt      the spam keywords, one a line (UTF-8)
  expected.tsv      what a receive should leave, in order: "folder N TAB subject", "attachment TAB
                    name", "spam TAB subject", "notice TAB text" (the message box of a part of a
                    split message that waits for the others)

With --smtp PORT --to ADDRESS the messages are also sent, in order, to the SMTP server on
127.0.0.1:PORT, which delivers them into the mailbox.

  seed_mailbox.py OUTDIR [--smtp PORT --to ADDRESS]
"""

import argparse
import base64
import datetime
import email.utils
import os
import smtplib
import urllib.parse

DEMO_ADDRESS = "demo@localhost"

# Sort rules 1 to 9 (name, the sender text as received), rule 10 names the others folder. The
# sorting compares the whole sender text, display name and angle brackets included.
RULES = [
    ("山田商事 山田様", "山田 太郎 <yamada@yamada-shoji.example.jp>"),
    ("経理部", "keiri@example.co.jp"),
    ("母", "haha@example.ne.jp"),
    ("写真サークル", "circle@univ.example.ac.jp"),
    ("ネットショップ", "order@shop.example.jp"),
    ("町内会", "chounaikai@example.jp"),
    ("旅行の予約", "info@travel.example.jp"),
    ("歯医者さん", "yoyaku@dental.example.jp"),
    ("自分宛（デモ）", DEMO_ADDRESS),
    ("着信 その他", ""),
]
KEYWORDS = ["未承諾広告", "出会い系", "当選しました"]

CHARSET_LABELS = {"iso-2022-jp": "ISO-2022-JP", "cp932": "Shift_JIS", "utf-8": "UTF-8"}


def iso2022jp(text):
    """ISO-2022-JP as Windows mail programs write it: JIS X 0208 with the NEC special characters
    (row 13: ①, ㈱) and the Windows forms such as ～, taken from code page 932."""
    out, mode = bytearray(), "ascii"
    for character in text:
        if character.isascii():
            if mode != "ascii":
                out += b"\x1b(B"
                mode = "ascii"
            out += character.encode("ascii")
            continue
        lead, trail = character.encode("cp932")
        row = (lead - (0x40 if lead >= 0xE0 else 0) - 0x81) * 2 + 0x21
        if trail >= 0x9F:
            row, cell = row + 1, trail - 0x7E
        else:
            cell = trail - (0x1F if trail < 0x80 else 0x20)
        if mode != "jis":
            out += b"\x1b$B"
            mode = "jis"
        out += bytes((row, cell))
    if mode != "ascii":
        out += b"\x1b(B"
    return bytes(out)


def encode(text, codec):
    return iso2022jp(text) if codec == "iso-2022-jp" else text.encode(codec)


def encoded_word(text, codec):
    raw = encode(text, codec)
    return "=?%s?B?%s?=" % (CHARSET_LABELS[codec], base64.b64encode(raw).decode("ascii"))


def header_text(text, codec):
    return text if text.isascii() else encoded_word(text, codec)


def sender_header(sender, codec):
    """The From header for a sender text "name <address>" or a bare address."""
    if "<" not in sender:
        return sender
    name, address = sender.split("<", 1)
    return "%s <%s" % (header_text(name.strip(), codec), address)


def body_part(body, codec):
    label = CHARSET_LABELS[codec]
    if codec == "iso-2022-jp":
        return "Content-Type: text/plain; charset=%s\nContent-Transfer-Encoding: 7bit\n\n" % label, encode(body, codec)
    if codec == "cp932":
        return "Content-Type: text/plain; charset=%s\nContent-Transfer-Encoding: 8bit\n\n" % label, body.encode(codec)
    encoded = base64.encodebytes(body.encode("utf-8")).decode("ascii")
    return "Content-Type: text/plain; charset=%s\nContent-Transfer-Encoding: base64\n\n" % label, encoded.encode("ascii")


def attachment_part(name, content, codec, style):
    """A part named in one of the ways mail programs name Japanese files."""
    if style == "rfc2231":
        disposition = "attachment; filename*=UTF-8''%s" % urllib.parse.quote(name.encode("utf-8"))
        type_name = ""
    else:
        quoted = encoded_word(name, codec)
        disposition = 'attachment; filename="%s"' % quoted
        type_name = '; name="%s"' % quoted
    encoded = base64.encodebytes(content).decode("ascii")
    head = "Content-Type: application/octet-stream%s\nContent-Disposition: %s\nContent-Transfer-Encoding: base64\n\n" % (
        type_name, disposition)
    return (head + encoded).encode("ascii")


class Mailbox:
    def __init__(self):
        self.messages = []
        self.expected = []
        self.sent = 0

    def date(self):
        """Five or six messages a day from the first of December, Japanese time."""
        self.sent += 1
        when = datetime.datetime(2026, 12, 1 + self.sent // 6, 8 + self.sent % 10, (self.sent * 37) % 60,
                                 tzinfo=datetime.timezone(datetime.timedelta(hours=9)))
        return email.utils.format_datetime(when)

    def add(self, sender, subject, body, codec="iso-2022-jp", attachments=(), expect=True):
        head = "From: %s\nTo: %s\nSubject: %s\nDate: %s\nMessage-ID: <demo%02d@nemuroa.example>\nMIME-Version: 1.0\n" % (
            sender_header(sender, codec), DEMO_ADDRESS, header_text(subject, codec), self.date(), len(self.messages) + 1)
        text_head, text = body_part(body, codec)
        if not attachments:
            raw = (head + text_head).encode("ascii") + text + b"\n"
        else:
            boundary = "demo-boundary-%02d" % len(self.messages)
            raw = (head + 'Content-Type: multipart/mixed; boundary="%s"\n\n--%s\n' % (boundary, boundary) + text_head).encode(
                "ascii") + text + b"\n"
            for index, (name, content) in enumerate(attachments):
                style = "rfc2231" if index % 2 == 0 else "encoded-word"
                raw += ("--%s\n" % boundary).encode("ascii") + attachment_part(name, content, codec, style)
                self.expected.append(("attachment", name))
            raw += ("--%s--\n" % boundary).encode("ascii")
        self.messages.append(raw)
        if expect:
            self.expected.append(("folder %d" % folder_of(sender), subject))
        return raw

    def add_spam(self, sender, subject, body):
        self.add(sender, subject, body, "utf-8", expect=False)
        self.expected.append(("spam", subject))

    def add_split(self, sender, subject, body, parts):
        """One message sent as message/partial in that many parts."""
        whole = self.add(sender, subject, body, "utf-8")
        self.messages.pop()
        size = -(-len(whole) // parts)
        for number in range(1, parts + 1):
            chunk = whole[(number - 1) * size:number * size]
            head = ("From: %s\nTo: %s\nSubject: %s\nDate: %s\nMIME-Version: 1.0\n"
                    'Content-Type: message/partial; id="demo-split@nemuroa.example"; number=%d; total=%d\n\n') % (
                sender_header(sender, "utf-8"), DEMO_ADDRESS, header_text(subject, "utf-8") + " (%d/%d)" % (number, parts),
                self.date(), number, parts)
            self.messages.append(head.encode("ascii") + chunk + (b"" if chunk.endswith(b"\n") else b"\n"))
            if number < parts:
                self.expected.append(("folder %d" % folder_of(sender), subject + " (%d/%d)" % (number, parts)))
                self.expected.append(("notice", "分割されたメールが全て揃っていません"))
        self.expected.append(self.expected.pop(-2 * (parts - 1) - 1))


def folder_of(sender):
    for number, (_, address) in enumerate(RULES[:9], start=1):
        if address == sender:
            return number
    return 10


def csv_bytes(rows):
    return "\r\n".join(",".join(row) for row in rows).encode("cp932") + b"\r\n"


PNG_DOT = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")


def fill(box):
    yamada, keiri, haha, circle, shop, town, travel, dental = (address for _, address in RULES[:8])
    box.add(yamada, "お見積りのご依頼", "いつもお世話になっております。\n山田商事の山田です。\n\n"
            "来月分の資材につきまして、お見積りをお願いできますでしょうか。\n数量は添付の表のとおりです。\n\nよろしくお願いいたします。",
            attachments=[("見積依頼書.csv", csv_bytes([["品名", "数量"], ["段ボール箱（大）", "200"], ["緩衝材", "50"]]))])
    box.add(keiri, "11月分 経費精算のお願い", "各位\n\n11月分の経費精算書を12月5日（土）までにご提出ください。\n"
            "領収書の原本も忘れずに添付してください。\n\n経理部 佐藤", "cp932")
    box.add(haha, "元気にしてる？", "寒くなってきたけど、風邪ひいてない？\nお正月は帰ってこられるの？\n"
            "みかんを送ったので、届いたら連絡ちょうだいね。\n\n母より", "utf-8")
    box.add(circle, "【写真サークル】12月例会のお知らせ", "サークルの皆さん\n\n12月の例会は13日（日）10時、"
            "正門前に集合です。\n紅葉の撮影会のあと、忘年会をします。\n参加の方は返信してください。", "iso-2022-jp",
            attachments=[("集合場所の地図.png", PNG_DOT)])
    box.add(shop, "ご注文ありがとうございます（注文番号 A-10234）", "このたびはご注文いただき誠にありがとうございます。\n\n"
            "【ご注文内容】\n・電気毛布（シングル） 1点 4,980円\n・送料 無料\n\n発送まで今しばらくお待ちください。", "cp932")
    box.add("メルマガ編集部 <news@magazine.example.jp>", "週刊 ITニュース 第512号", "今週の主なニュース\n"
            "１．新しいスマートフォンが発表されました\n２．クラウドサービスの料金改定\n３．セキュリティ情報：パスワードの使い回しに注意",
            "utf-8")
    box.add(yamada, "Re: お見積りのご依頼", "早速のご回答ありがとうございます。\n金額について社内で確認いたします。\n"
            "①納期 ②支払条件 についても追ってご連絡します。\n\n㈱山田商事 山田")
    box.add(town, "年末の夜警当番について", "町内会の皆様\n\n今年も年末の夜警を行います。\n当番表を添付しますので、"
            "ご確認ください。\n\n町内会長 鈴木", "cp932", attachments=[("夜警当番表.txt", "２８日　田中・高橋\n２９日　伊藤・渡辺\n".encode("cp932"))])
    box.add_spam("info@deai.example.com", "※未承諾広告※ 今だけ無料！素敵な出会いをあなたに", "今すぐ登録してください。")
    box.add(travel, "ご予約の確認（京都 1泊2日）", "ご予約ありがとうございます。\n\nチェックイン：12月19日 15:00\n"
            "お部屋：和室（二名様）\n\n旅程表を添付いたします。", attachments=[("旅程表.txt", "京都駅 10:00 集合\n".encode("utf-8")),
                                                                       ("旅館の案内.png", PNG_DOT)])
    box.add(keiri, "年末調整の書類について", "年末調整の書類は今週中に提出をお願いします。\n不明な点は経理部までどうぞ。", "cp932")
    box.add("Yamada@yamada-shoji.example.jp", "先日の件（別アドレスから）", "外出先から失礼します。\n"
            "このメールは大文字のアドレスから送っていますので、仕分けの規則には掛かりません。", "utf-8")
    box.add(haha, "みかん届いた？", "みかん、もう届いたかしら。\n食べきれなかったらご近所さんにも分けてね。", "utf-8")
    box.add(dental, "定期検診のお知らせ", "前回の受診から六か月が経ちました。\n定期検診のご予約をお待ちしております。\n\nさくら歯科医院")
    box.add(shop, "商品発送のお知らせ（注文番号 A-10234）", "ご注文の商品を本日発送いたしました。\nお届け予定日：12月4日\n"
            "配送業者：ネコ運輸", "cp932")
    box.add("総務課 <soumu@example.co.jp>", "大掃除の分担表", "今年の大掃除の分担表をお送りします。\n各自ご確認ください。", "cp932",
            attachments=[("大掃除分担表.csv", csv_bytes([["場所", "担当"], ["会議室", "営業部"], ["給湯室", "総務課"]]))])
    box.add(circle, "Re: 【写真サークル】12月例会のお知らせ", "参加します！\n三脚を持っていきます。", "utf-8")
    box.add(yamada, "打ち合わせ日程のご相談", "来週、打ち合わせのお時間をいただけないでしょうか。\n"
            "候補日：\n・12月8日（火）14時\n・12月10日（木）10時\n\nご都合をお聞かせください。")
    box.add("鈴木 花子 <hanako@example.ne.jp>", "お久しぶりです", "ご無沙汰しています。\n年明けに同窓会をしようという話が"
            "出ているのですが、ご都合いかがですか？", "utf-8")
    box.add(town, "ごみ収集日の変更（年末年始）", "年末年始のごみ収集日が変わります。\n燃えるごみ：12月30日まで\n"
            "資源ごみ：1月6日から", "cp932")
    box.add(keiri, "【重要】請求書の締め日変更", "来年1月より請求書の締め日を毎月20日に変更します。\n取引先への連絡もお願いします。", "cp932")
    box.add(travel, "旅のしおり（京都）", "出発まであと少しです。\n冬の京都は冷えますので、暖かい服装でお越しください。", "utf-8")
    box.add_split("写真サークル 事務局 <jimukyoku@univ.example.ac.jp>", "撮影会の写真（分割送信）",
                  "撮影会の写真の一覧です。容量が大きいため、三つに分けて送信しています。\n\n"
                  + "".join("%02d. 紅葉と山門（%d枚目）\n" % (n, n) for n in range(1, 41)), 3)
    box.add(shop, "【ポイント】今月のポイント残高のお知らせ", "いつもご利用ありがとうございます。\n現在のポイント残高：1,280ポイント",
            "cp932")
    box.add(haha, "写真送るね", "お父さんと温泉に行ってきました。\n写真を添付します。", "utf-8",
            attachments=[("温泉の写真.png", PNG_DOT)])
    box.add("セミナー事務局 <seminar@example.org>", "無料オンラインセミナーのご案内", "中小企業のためのIT活用セミナーを開催します。\n"
            "日時：12月15日 19:00〜20:30\n参加費：無料", "iso-2022-jp")
    box.add(yamada, "議事録の送付", "本日はありがとうございました。\n議事録を添付いたしますのでご確認ください。",
            attachments=[("議事録_12月8日.txt", "出席者：山田、デモ\n決定事項：納期は１月末\n".encode("cp932"))])
    box.add(circle, "会費の集金について", "今年度の会費（3,000円）を例会の日に集めます。\nお釣りのないようにお願いします。")
    box.add("宅配ボックス <noreply@delivery.example.jp>", "お荷物のお届け予定", "お荷物を本日お届けします。\n"
            "お届け時間帯：18時〜20時", "utf-8")
    box.add(town, "防災訓練のご案内", "来年1月17日に防災訓練を行います。\n集合場所は第二公園です。", "iso-2022-jp")
    box.add(shop, "レビューのお願い", "お買い上げの商品はいかがでしたか？\nレビューをお寄せいただくと50ポイント進呈します。", "cp932")
    box.add(dental, "ご予約の確認", "12月22日（火）15時30分のご予約を承りました。\n変更の際はお電話でご連絡ください。", "cp932")
    box.add(keiri, "振込先口座の確認", "取引先の振込先口座に変更がありました。\n添付の一覧をご確認ください。", "cp932",
            attachments=[("振込先一覧.csv", csv_bytes([["取引先", "銀行"], ["山田商事", "みどり銀行 本店"]]))])
    box.add("田中 一郎 <tanaka@example.com>", "ご相談したいことがあります", "突然のご連絡失礼いたします。\n"
            "御社のサービスについて詳しくお話を伺えればと思います。", "iso-2022-jp")
    box.add(haha, "お正月の予定", "お正月は30日に帰ってくるのね。\n駅まで迎えに行くから、時間がわかったら教えてね。", "utf-8")
    box.add(yamada, "年末のご挨拶", "本年も大変お世話になりました。\n来年も変わらぬお付き合いのほど、よろしくお願い申し上げます。\n"
            "～良いお年をお迎えください～")


def write(out, box):
    messages = os.path.join(out, "messages")
    os.makedirs(messages, exist_ok=True)
    for index, raw in enumerate(box.messages, start=1):
        with open(os.path.join(messages, "%02d.eml" % index), "wb") as file:
            file.write(raw)
    with open(os.path.join(out, "rules.tsv"), "w", encoding="utf-8") as file:
        file.writelines("%s\t%s\n" % rule for rule in RULES)
    with open(os.path.join(out, "keywords.txt"), "w", encoding="utf-8") as file:
        file.writelines(keyword + "\n" for keyword in KEYWORDS)
    with open(os.path.join(out, "expected.tsv"), "w", encoding="utf-8") as file:
        file.writelines("%s\t%s\n" % line for line in box.expected)


def send(box, port, recipient):
    with smtplib.SMTP("127.0.0.1", port) as smtp:
        for raw in box.messages:
            smtp.sendmail("seed@localhost", [recipient], raw.replace(b"\n", b"\r\n"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--smtp", type=int)
    parser.add_argument("--to", default=DEMO_ADDRESS)
    options = parser.parse_args()
    box = Mailbox()
    fill(box)
    write(options.out, box)
    if options.smtp:
        send(box, options.smtp, options.to)
    print("%d messages" % len(box.messages))


if __name__ == "__main__":
    main()
