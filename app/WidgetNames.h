#pragma once

#include <QString>

// The object names of the main window's controls and of the settings windows, so that screens and
// tests agree on them. Elements of a control array are named with their index, "Text19(3)".
namespace WidgetNames {

inline QString indexed(const QString& array, int index) { return array + u'(' + QString::number(index) + u')'; }

// The main window and what lies on every screen.
inline const QString MainForm = QStringLiteral("MainForm");          // the main window
inline const QString TabStrip1 = QStringLiteral("TabStrip1");        // the 17 tabs; its click switches screens
inline const QString mFile = QStringLiteral("mFile");                // menu "ファイル(&F)"
inline const QString mnew = QStringLiteral("mnew");                  // "新規作成": new editor text
inline const QString mopen = QStringLiteral("mopen");                // "開く": open a text file into the body
inline const QString msave = QStringLiteral("msave");                // "名前を付けて保存": save the body as
inline const QString mprint = QStringLiteral("mprint");              // "印刷": print the body
inline const QString mend = QStringLiteral("mend");                  // "終了": ends the program after a notice
inline const QString mImport = QStringLiteral("mImport");            // "他のメールソフトから取り込む...": the import window
inline const QString mExport = QStringLiteral("mExport");            // "mbox に書き出す...": the shown folder as an mbox
inline const QString mSaveEml = QStringLiteral("mSaveEml");          // "一通を .eml で保存...": the shown message

// The import window (ImportWindow).
inline const QString ImportWindow = QStringLiteral("ImportWindow");
inline const QString ImportPathText = QStringLiteral("ImportPathText");       // the sources, separated by ";"
inline const QString ImportChooseFile = QStringLiteral("ImportChooseFile");   // "ファイルを選ぶ..."
inline const QString ImportSpamCheck = QStringLiteral("ImportSpamCheck");     // "迷惑メールを削除する" (off)
inline const QString ImportStart = QStringLiteral("ImportStart");             // "取り込む"
inline const QString ImportProgress = QStringLiteral("ImportProgress");       // the progress bar
inline const QString ImportCountLabel = QStringLiteral("ImportCountLabel");   // count and time left
inline const QString ImportStop = QStringLiteral("ImportStop");               // "中止"
inline const QString ImportSummaryText = QStringLiteral("ImportSummaryText"); // the summary at the end
inline const QString ImportClose = QStringLiteral("ImportClose");             // "閉じる"
inline const QString medit = QStringLiteral("medit");                // menu "編集(&E)"
inline const QString mall = QStringLiteral("mall");                  // "全て選択": select the whole body
inline const QString matamajump = QStringLiteral("matamajump");      // "文頭へジャンプ": caret to the start
inline const QString mbunmatujump = QStringLiteral("mbunmatujump");  // "文末へジャンプ": caret to the end
inline const QString mkensaku = QStringLiteral("mkensaku");          // "検索": search Text2 in the body
inline const QString mSearchAll = QStringLiteral("mSearchAll");      // "全メール検索(&F)...": opens SearchAllForm
inline const QString mcut = QStringLiteral("mcut");                  // "切り取り"
inline const QString mcopy = QStringLiteral("mcopy");                // "コピー"
inline const QString mpaste = QStringLiteral("mpaste");              // "貼付け"
inline const QString mhp = QStringLiteral("mhp");                    // menu "HomePage"
inline const QString mhp2 = QStringLiteral("mhp2");                  // "作者ホームページ": opens the maker's page
// Hidden work boxes beyond the right edge: the sorting addresses of rules 1 to 8 and of rule 9.
inline const QString Text30 = QStringLiteral("Text30");
inline const QString Text39 = QStringLiteral("Text39");
inline QString sortingAddressBox(int rule) { return rule == 9 ? Text39 : QStringLiteral("Text%1").arg(29 + rule); }
inline const QString Text20 = QStringLiteral("Text20"); // hidden work box of another screen
inline const QString Text28 = QStringLiteral("Text28"); // hidden work box of another screen
inline const QString lstLst = QStringLiteral("lstLst"); // hidden work list of another screen

// The screens, one frame each.
inline const QString Frame5 = QStringLiteral("Frame5");       // main screen
inline const QString Frame1_0 = QStringLiteral("Frame1(0)");  // received-mail screen (ten folders and sent history)
inline const QString Frame2 = QStringLiteral("Frame2");       // address book screen
inline const QString Frame3 = QStringLiteral("Frame3");       // compose screen
inline const QString Frame8 = QStringLiteral("Frame8");       // reply screen
inline const QString Frame6 = QStringLiteral("Frame6");       // enlarged view of one message
inline const QString Frame9 = QStringLiteral("Frame9");       // spam keyword screen

// Main screen (Frame5).
inline const QString Frame4_0 = QStringLiteral("Frame4(0)");  // group "   担当者データ": the sort-rule editor
inline const QString Text38 = QStringLiteral("Text38");       // rule editor: name (required)
inline const QString Text57 = QStringLiteral("Text57");       // rule editor: the nine detail fields, elements 1 to 9
inline QString Text57At(int index) { return indexed(Text57, index); }
inline const QString Text16 = QStringLiteral("Text16");       // rule editor: mail address (required)
inline const QString txtMemo = QStringLiteral("txtMemo");     // rule editor: memo, several lines
inline const QString Frame1_1 = QStringLiteral("Frame1(1)");  // group of the four buttons below
inline const QString Command24 = QStringLiteral("Command24"); // "変更": write the editor into the selected rule
inline const QString Command26 = QStringLiteral("Command26"); // "クリア": empty the rule editor
inline const QString Command25 = QStringLiteral("Command25"); // "登録": append the editor as a new rule
inline const QString Command20 = QStringLiteral("Command20"); // "説明非表示": hide the explanation
inline const QString Command19 = QStringLiteral("Command19"); // "説明表示": show the explanation
inline const QString Image1 = QStringLiteral("Image1");       // banner picture
inline const QString Label9 = QStringLiteral("Label9");       // the program's name over the banner
inline const QString Label13 = QStringLiteral("Label13");     // version text over the banner
inline const QString Picture3 = QStringLiteral("Picture3");   // header strip of the counter columns
inline const QString Label11 = QStringLiteral("Label11");     // "Past/New/Name"
inline const QString Label10 = QStringLiteral("Label10");     // "登録件数 Max 10"
inline const QString Text19 = QStringLiteral("Text19");       // Past counters, element k - 1 for folder k
inline QString Text19At(int index) { return indexed(Text19, index); }
inline const QString Text21 = QStringLiteral("Text21");       // New counters, element k - 1 for folder k
inline QString Text21At(int index) { return indexed(Text21, index); }
inline const QString List2 = QStringLiteral("List2");         // sort-rule names, one row per counter row
inline const QString Text18 = QStringLiteral("Text18");       // explanation box, hidden at start
inline const QString Image2 = QStringLiteral("Image2");       // picture beside the rule editor
inline const QString Image3 = QStringLiteral("Image3");       // small picture moved by the animation
inline const QString Label15 = QStringLiteral("Label15");     // "VOZ9001"
inline const QString Label17 = QStringLiteral("Label17");     // status bar of receiving and sending
inline const QString Picture7 = QStringLiteral("Picture7");   // holds the note Label14
inline const QString Label14 = QStringLiteral("Label14");     // note on the rule editor's required fields
inline const QString Text27 = QStringLiteral("Text27");       // clock box
inline const QString Frame7 = QStringLiteral("Frame7");       // holds the calendar
inline const QString MonthView1 = QStringLiteral("MonthView1"); // month calendar
inline const QString Picture18 = QStringLiteral("Picture18"); // heading strip of the memo
inline const QString Label16 = QStringLiteral("Label16");     // "備　　　　　　　　　考"
inline const QString Text45 = QStringLiteral("Text45");       // hint box of the main screen, hidden at start
inline const QString Command22 = QStringLiteral("Command22"); // picture button: start the separate viewer
inline const QString Command21 = QStringLiteral("Command21"); // picture button: minimise the window
inline const QString Command2 = QStringLiteral("Command2");   // picture button: end the program
inline const QString Timer1 = QStringLiteral("Timer1");       // 500 ms: animation pass
inline const QString Timer2 = QStringLiteral("Timer2");       // 1000 ms: clock

// Received-mail screen (Frame1(0)).
inline const QString MailListView = QStringLiteral("MailListView"); // report list: Subject, From, Date
inline const QString Text7 = QStringLiteral("Text7");         // view field: subject
inline const QString Text8 = QStringLiteral("Text8");         // view field: sender (sent history: recipient)
inline const QString Text9 = QStringLiteral("Text9");         // view field: date (sent history: sending time)
inline const QString rtfEd = QStringLiteral("rtfEd");         // view field: body, also the text editor
inline const QString Text29 = QStringLiteral("Text29");       // count box "件数"
inline const QString Text48 = QStringLiteral("Text48");       // hidden selection marker: "1" after a list click
inline const QString Text5 = QStringLiteral("Text5");         // hint box of the received-mail screen
inline const QString Command3 = QStringLiteral("Command3");   // "一件削除"
inline const QString Command4 = QStringLiteral("Command4");   // "アドレス帳登録"
inline const QString Command5 = QStringLiteral("Command5");   // "返事"
inline const QString Command6 = QStringLiteral("Command6");   // "全件削除"
inline const QString Command27 = QStringLiteral("Command27"); // "Text Quick Save"
inline const QString Command29 = QStringLiteral("Command29"); // "拡大して見る"
inline const QString Command35 = QStringLiteral("Command35"); // "コピー（Subject/from/Data）"
inline const QString Picture1_1 = QStringLiteral("Picture1(1)"); // toolbar strip
inline const QString tbToolBar = QStringLiteral("tbToolBar"); // editor toolbar
inline const QString imlIcons = QStringLiteral("imlIcons");   // images of the editor toolbar
inline const QString Text2 = QStringLiteral("Text2");         // search text, labelled "検索文字"
inline const QString Label2_1 = QStringLiteral("Label2(1)");  // "検索文字"
inline const QString Text49 = QStringLiteral("Text49");       // copy box beside Command35
inline const QString CommonDialog1 = QStringLiteral("CommonDialog1"); // open, save and print dialog

// Enlarged view (Frame6).
inline const QString Text25 = QStringLiteral("Text25");       // "件名"
inline const QString Text24 = QStringLiteral("Text24");       // "差出人"
inline const QString Text46 = QStringLiteral("Text46");       // "日付"
inline const QString Text15 = QStringLiteral("Text15");       // "本文"
inline const QString Text22 = QStringLiteral("Text22");       // "文字サイズ", font size in points
inline const QString UpDown1 = QStringLiteral("UpDown1");     // arrows of the font size
inline const QString Command1 = QStringLiteral("Command1");   // "戻る"

// Address book screen (Frame2).
inline const QString List3 = QStringLiteral("List3");         // address book rows
inline const QString Text6 = QStringLiteral("Text6");         // "名前（名称）"
inline const QString Text11 = QStringLiteral("Text11");       // "メールアドレス"
inline const QString Text10 = QStringLiteral("Text10");       // "登録件数"
inline const QString Text50 = QStringLiteral("Text50");       // name put in front of the address by "名刺挿入"
inline const QString Text51 = QStringLiteral("Text51");       // hint box of the address book screen
inline const QString Command8 = QStringLiteral("Command8");   // "貼付"
inline const QString Command10 = QStringLiteral("Command10"); // "登録"
inline const QString Command15 = QStringLiteral("Command15"); // "削除"
inline const QString Command38 = QStringLiteral("Command38"); // "名刺挿入"
inline const QString List1 = QStringLiteral("List1");         // list of the address book screen

// Compose screen (Frame3).
inline const QString ToText = QStringLiteral("ToText");       // "宛先"
inline const QString SubjectText = QStringLiteral("SubjectText"); // "件名"
inline const QString BodyText = QStringLiteral("BodyText");   // message body
inline const QString AttachText = QStringLiteral("AttachText"); // attachment paths joined by ","
inline const QString AttachCommand = QStringLiteral("AttachCommand"); // "添付File"
inline const QString AttachCommonDialog = QStringLiteral("AttachCommonDialog"); // attachment file dialog
inline const QString Combo1 = QStringLiteral("Combo1");       // "首記例": the eight opening lines
inline const QString Option1 = QStringLiteral("Option1");     // "取消": bulk send off
inline const QString Option2 = QStringLiteral("Option2");     // "一括送信": bulk send on
inline const QString Check2 = QStringLiteral("Check2");       // check box of the compose screen
inline const QString Command9 = QStringLiteral("Command9");   // "貼付け"
inline const QString Command12 = QStringLiteral("Command12"); // "追加": attachment
inline const QString Command13 = QStringLiteral("Command13"); // "取り消し": attachments
inline const QString Command14 = QStringLiteral("Command14"); // "送信"
inline const QString Command16 = QStringLiteral("Command16"); // "本文貼付"
inline const QString Command17 = QStringLiteral("Command17"); // "宛先貼付"
inline const QString Command18 = QStringLiteral("Command18"); // "クリア"
inline const QString List4 = QStringLiteral("List4");         // chosen attachment paths, hidden at start
inline const QString List5 = QStringLiteral("List5");         // address book names
inline const QString Text12 = QStringLiteral("Text12");       // count of List5
inline const QString Text14 = QStringLiteral("Text14");       // hint box of the compose screen

// Reply screen (Frame8).
inline const QString Text41 = QStringLiteral("Text41");       // "宛先"
inline const QString Text40 = QStringLiteral("Text40");       // "題名"
inline const QString Text42 = QStringLiteral("Text42");       // body
inline const QString Text26 = QStringLiteral("Text26");       // "添付File"
inline const QString List6 = QStringLiteral("List6");         // chosen attachment paths
inline const QString Command30 = QStringLiteral("Command30"); // "追加"
inline const QString Command31 = QStringLiteral("Command31"); // "取り消し"
inline const QString Command32 = QStringLiteral("Command32"); // "添付"
inline const QString Command33 = QStringLiteral("Command33"); // "戻る"
inline const QString Command34 = QStringLiteral("Command34"); // "送信"

// Spam keyword screen (Frame9).
inline const QString List7 = QStringLiteral("List7");         // keywords, untrimmed
inline const QString Text43 = QStringLiteral("Text43");       // keyword input
inline const QString Text44 = QStringLiteral("Text44");       // "登録件数"
inline const QString Command36 = QStringLiteral("Command36"); // "登録"
inline const QString Command37 = QStringLiteral("Command37"); // "削除"

// Settings windows. Their buttons reuse names of the main window's controls, so look them up
// below their own window.
inline const QString SetForm = QStringLiteral("SetForm");     // chooser opened by tab 6
inline const QString SetFormAccount = QStringLiteral("Command1"); // SetForm "ID/PASS"
inline const QString SetFormServers = QStringLiteral("Command2"); // SetForm "POPサーバー"
inline const QString IdPassForm = QStringLiteral("IdPassForm"); // account dialog
inline const QString IdText = QStringLiteral("IdText");       // POP3 user ID
inline const QString PassText = QStringLiteral("PassText");   // password, shown as "*"
inline const QString Check1 = QStringLiteral("Check1");       // "IDパスワードを保存する"
inline const QString OptionForm = QStringLiteral("OptionForm"); // server dialog, kept on top
inline const QString SmtpText = QStringLiteral("SmtpText");   // "SMTPサーバー名(&S)"
inline const QString Pop3Text = QStringLiteral("Pop3Text");   // "POP3サーバー名(&P)"
inline const QString MailText = QStringLiteral("MailText");   // "メールアドレス(&M)"
inline const QString SmtpIdText = QStringLiteral("SmtpIdText");     // "SMTP 認証 ID(&I)": empty sends with the POP3 account
inline const QString SmtpPassText = QStringLiteral("SmtpPassText"); // "SMTP 認証パスワード(&W)"
inline const QString ApopCheck = QStringLiteral("ApopCheck"); // "APOP を使用する(&A)"
inline const QString OKCommand = QStringLiteral("OKCommand"); // OK of either dialog
inline const QString CancelCommand = QStringLiteral("CancelCommand"); // cancel of either dialog
// OptionForm, one per server that may get the password without TLS; cleared and OK takes it back.
inline const QString PlainPasswordCheck = QStringLiteral("PlainPasswordCheck");
// OptionForm: "受信したメールをサーバーに残す" and its days "日後にサーバーから削除（0 = 削除しない）".
inline const QString KeepOnServerCheck = QStringLiteral("KeepOnServerCheck");
inline const QString KeepOnServerDays = QStringLiteral("KeepOnServerDays");

// The window that searches all mail.
inline const QString SearchAllForm = QStringLiteral("SearchAllForm");         // "全メール検索"
inline const QString SearchAllText = QStringLiteral("SearchAllText");         // what to search for
inline const QString SearchAllList = QStringLiteral("SearchAllList");         // the messages found
inline const QString SearchAllCount = QStringLiteral("SearchAllCount");       // how many were found
inline const QString SearchAllProgress = QStringLiteral("SearchAllProgress"); // the index being built

} // namespace WidgetNames
